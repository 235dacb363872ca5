#pragma once
// The process table of the program: the simulated desktop's applications (and the processes it
// adds beside them) answer for their made-up process ids; every other id is a real process of
// this machine, such as a relay that a real browser started, and the kernel answers for it.

#include "Platform/Linux/LinuxProcessTable.hpp"
#include "Platform/ProcessTable.hpp"

namespace velvix {

class ProgramProcessTable final : public platform::ProcessTable {
 public:
  explicit ProgramProcessTable(const platform::ProcessTable& simulated) : simulated_(simulated) {}

  Probe probe(platform::Pid pid) const override { return owner(pid).probe(pid); }
  std::optional<platform::Pid> parent(platform::Pid pid) const override { return owner(pid).parent(pid); }
  std::optional<std::string> executablePath(platform::Pid pid) const override {
    return owner(pid).executablePath(pid);
  }
  std::optional<std::string> name(platform::Pid pid) const override { return owner(pid).name(pid); }
  // The desktop the program shows is the simulated one: only its processes are listed (real ones
  // are only ever looked up by id, as the peers of the socket).
  std::vector<platform::Pid> allPids() const override { return simulated_.allPids(); }
  std::optional<std::string> bundleIdentifier(platform::Pid pid) const override {
    return owner(pid).bundleIdentifier(pid);
  }

 private:
  const platform::ProcessTable& owner(platform::Pid pid) const {
    if (simulated_.probe(pid) != Probe::gone) return simulated_;
    return real_;
  }

  const platform::ProcessTable& simulated_;
  platform::LinuxProcessTable real_;
};

}  // namespace velvix
