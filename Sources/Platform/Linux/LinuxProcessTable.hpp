#pragma once
// The process table of the running Linux kernel: the signal-0 probe, and the parent and the
// executable of a process as /proc shows them.

#include "Platform/ProcessTable.hpp"

namespace velvix::platform {

class LinuxProcessTable final : public ProcessTable {
 public:
  Probe probe(Pid pid) const override;
  std::optional<Pid> parent(Pid pid) const override;
  std::optional<std::string> executablePath(Pid pid) const override;
};

}  // namespace velvix::platform
