#pragma once
// The process table of the simulated desktop: its applications are processes that exist until
// they terminate; further processes (helpers, children) can be added with a parent and an
// executable path.

#include <map>

#include "Platform/ProcessTable.hpp"

namespace velvix::sim {

class SimDesktop;

class SimDesktopProcessTable final : public platform::ProcessTable {
 public:
  struct Process {
    std::optional<platform::Pid> parent;
    std::optional<std::string> executablePath;
    bool alive = true;
    bool otherUser = false;
  };

  explicit SimDesktopProcessTable(const SimDesktop& desktop) : desktop_(desktop) {}

  Probe probe(platform::Pid pid) const override;
  std::optional<platform::Pid> parent(platform::Pid pid) const override;
  std::optional<std::string> executablePath(platform::Pid pid) const override;

  void add(platform::Pid pid, Process process) { extra_[pid] = std::move(process); }

 private:
  const SimDesktop& desktop_;
  std::map<platform::Pid, Process> extra_;
};

}  // namespace velvix::sim
