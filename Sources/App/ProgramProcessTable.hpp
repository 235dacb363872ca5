#pragma once
// The process table of the program: the simulated desktop's applications (and the processes it
// adds beside them) answer for their made-up process ids; every other id is a real process of
// this machine. A socket peer is always a real process, so its lineage is walked through the
// kernel's table alone: a made-up id that happens to equal a real one must not vouch for it.

#include "Platform/Linux/LinuxProcessTable.hpp"
#include "Platform/ProcessTable.hpp"

namespace velvix {

class ProgramProcessTable final : public platform::ProcessTable {
 public:
  // `simulatedPeers`: scenarios in which the simulated processes stand for the ones that connect
  // (the test program playing a browser's relay) walk peers through this mixed table instead.
  explicit ProgramProcessTable(const platform::ProcessTable& simulated, bool simulatedPeers = false)
      : simulated_(simulated), simulatedPeers_(simulatedPeers) {}

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
  const platform::ProcessTable& peers() const override {
    if (simulatedPeers_) return *this;
    return real_;
  }

 private:
  const platform::ProcessTable& owner(platform::Pid pid) const {
    if (simulated_.probe(pid) != Probe::gone) return simulated_;
    return real_;
  }

  const platform::ProcessTable& simulated_;
  bool simulatedPeers_;
  platform::LinuxProcessTable real_;
};

}  // namespace velvix
