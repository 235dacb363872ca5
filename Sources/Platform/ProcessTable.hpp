#pragma once
// The kernel's table of processes: whether a process exists (a signal-0 probe), its parent, its
// executable path and name, and the list of every process. Simulated applications have made-up
// process ids, so the simulated desktop answers for them; a real probe of such an id would ask
// about an unrelated process.

#include <optional>
#include <string>
#include <vector>

#include "Platform/Workspace.hpp"

namespace velvix::platform {

class ProcessTable {
 public:
  enum class Probe {
    exists,           // the probe succeeded
    existsOtherUser,  // refused with a permission error: the process exists but is not ours
    gone,             // any other failure
  };
  virtual ~ProcessTable() = default;

  virtual Probe probe(Pid pid) const = 0;
  virtual std::optional<Pid> parent(Pid pid) const = 0;
  virtual std::optional<std::string> executablePath(Pid pid) const = 0;
  // The short name the kernel keeps for the process; nothing when it cannot be read.
  virtual std::optional<std::string> name(Pid pid) const = 0;
  // Every process id now in the table; empty when it cannot be listed.
  virtual std::vector<Pid> allPids() const = 0;
  // The bundle identifier of the application whose program the process runs, where the platform
  // knows it from the executable alone (programs installed outside any bundle); else nothing.
  virtual std::optional<std::string> bundleIdentifier(Pid pid) const { return std::nullopt; }
  // The table that the process ids of socket peers belong to: the kernel names who connected, so
  // where made-up processes sit beside real ones this is the real table alone.
  virtual const ProcessTable& peers() const { return *this; }
};

}  // namespace velvix::platform
