#pragma once
// A process table that tests fill with made-up processes: each has a parent, an executable path,
// a name, and can be alive, gone, or owned by another user. Unknown process ids are gone.

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
    // The kernel's name of it; when absent, the last component of its executable path.
    std::optional<std::string> name;
  };

  void add(platform::Pid pid, Process process) { processes_[pid] = std::move(process); }
  // The process ends; what the kernel knew of it goes with it.
  void end(platform::Pid pid);

  Probe probe(platform::Pid pid) const override;
  std::optional<platform::Pid> parent(platform::Pid pid) const override;
  std::optional<std::string> executablePath(platform::Pid pid) const override;
  std::optional<std::string> name(platform::Pid pid) const override;
  std::vector<platform::Pid> allPids() const override;  // the live ones, ascending

 private:
  const Process* live(platform::Pid pid) const;
  std::map<platform::Pid, Process> processes_;
};

}  // namespace velvix::sim
