#pragma once
// The process table of the running Linux kernel: the signal-0 probe, and the parent, the
// executable, the name and the list of processes as /proc shows them, and the applications that
// Linux packages install as plain programs, known by their executable.

#include "Platform/ProcessTable.hpp"

namespace velvix::platform {

class LinuxProcessTable final : public ProcessTable {
 public:
  Probe probe(Pid pid) const override;
  std::optional<Pid> parent(Pid pid) const override;
  std::optional<std::string> executablePath(Pid pid) const override;
  std::optional<std::string> name(Pid pid) const override;
  std::vector<Pid> allPids() const override;
  // Browsers that Linux packages install as plain programs, by their executable.
  std::optional<std::string> bundleIdentifier(Pid pid) const override;
};

}  // namespace velvix::platform
