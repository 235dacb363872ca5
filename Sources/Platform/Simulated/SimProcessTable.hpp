#pragma once
// A process table that tests fill with made-up processes: each has a parent, an executable path,
// and can be alive, gone, or owned by another user. Unknown process ids are gone.

#include <map>

#include "Platform/ProcessTable.hpp"

namespace velvix::sim {

class SimProcessTable final : public platform::ProcessTable {
 public:
  struct Process {
    platform::Pid parent = 1;
    std::optional<std::string> executablePath;
    bool alive = true;
    bool otherUser = false;  // the probe is refused, and its executable cannot be read
  };

  void add(platform::Pid pid, Process process) { processes_[pid] = std::move(process); }
  // The process ends; what the kernel knew of it goes with it.
  void end(platform::Pid pid);

  Probe probe(platform::Pid pid) const override;
  std::optional<platform::Pid> parent(platform::Pid pid) const override;
  std::optional<std::string> executablePath(platform::Pid pid) const override;

 private:
  const Process* live(platform::Pid pid) const;
  std::map<platform::Pid, Process> processes_;
};

}  // namespace velvix::sim
