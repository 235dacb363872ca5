#pragma once
// The process table of the running Linux kernel: the signal-0 probe, and the parent, the
// executable, the name and the list of processes as /proc shows them.

#include "Platform/ProcessTable.hpp"

namespace velvix::platform {

class LinuxProcessTable final : public ProcessTable {
 public:
  Probe probe(Pid pid) const override;
  std::optional<Pid> parent(Pid pid) const override;
  std::optional<std::string> executablePath(Pid pid) const override;
  std::optional<std::string> name(Pid pid) const override;
  std::vector<Pid> allPids() const override;
};

}  // namespace velvix::platform
