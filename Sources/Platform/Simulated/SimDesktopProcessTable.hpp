#pragma once
// The process table of the simulated desktop: its applications are processes that exist until
// they terminate; further processes (helpers, children of a browser) can be added to it. Asked
// from any thread, as the real process table is.

#include <set>

#include "Platform/Simulated/SimProcessTable.hpp"

namespace velvix::sim {

class SimDesktop;

class SimDesktopProcessTable final : public platform::ProcessTable {
 public:
  explicit SimDesktopProcessTable(const SimDesktop& desktop) : desktop_(desktop) {}

  Probe probe(platform::Pid pid) const override;
  std::optional<platform::Pid> parent(platform::Pid pid) const override;
  std::optional<std::string> executablePath(platform::Pid pid) const override;
  // An application's process is named after the application.
  std::optional<std::string> name(platform::Pid pid) const override;
  std::vector<platform::Pid> allPids() const override;

  // A process beside the applications; it answers for its pid from now on. Main thread; every
  // query may come from any thread (see SimDesktop's rule for the process table).
  void add(platform::Pid pid, SimProcessTable::Process process);

 private:
  const SimDesktop& desktop_;
  SimProcessTable extra_;
  std::set<platform::Pid> extraPIDs_;
};

}  // namespace velvix::sim
