#include "Platform/Simulated/SimDesktopProcessTable.hpp"

#include <algorithm>
#include <utility>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

void SimDesktopProcessTable::add(platform::Pid pid, SimProcessTable::Process process) {
  auto lock = desktop_.lockForChange();
  extra_.add(pid, std::move(process));
  extraPIDs_.insert(pid);
}

using Probe = platform::ProcessTable::Probe;

Probe SimDesktopProcessTable::probe(platform::Pid pid) const {
  auto lock = desktop_.lockForReading();
  if (extraPIDs_.contains(pid)) return extra_.probe(pid);
  const SimApp* app = std::as_const(desktop_).app(pid);
  return app && !app->terminated ? Probe::exists : Probe::gone;
}

std::optional<platform::Pid> SimDesktopProcessTable::parent(platform::Pid pid) const {
  auto lock = desktop_.lockForReading();
  if (extraPIDs_.contains(pid)) return extra_.parent(pid);
  const SimApp* app = std::as_const(desktop_).app(pid);
  if (app && !app->terminated) return 1;  // applications are started by the system
  return std::nullopt;
}

std::optional<std::string> SimDesktopProcessTable::executablePath(platform::Pid pid) const {
  auto lock = desktop_.lockForReading();
  if (extraPIDs_.contains(pid)) return extra_.executablePath(pid);
  const SimApp* app = std::as_const(desktop_).app(pid);
  if (!app || app->terminated || !app->bundlePath) return std::nullopt;
  return *app->bundlePath + "/Contents/MacOS/" + app->name.value_or("app");
}

std::optional<std::string> SimDesktopProcessTable::name(platform::Pid pid) const {
  auto lock = desktop_.lockForReading();
  if (extraPIDs_.contains(pid)) return extra_.name(pid);
  const SimApp* app = std::as_const(desktop_).app(pid);
  if (!app || app->terminated) return std::nullopt;
  return app->name;
}

std::vector<platform::Pid> SimDesktopProcessTable::allPids() const {
  auto lock = desktop_.lockForReading();
  std::vector<platform::Pid> pids = extra_.allPids();
  for (const SimApp* app : desktop_.apps())
    if (!app->terminated && !extraPIDs_.contains(app->pid)) pids.push_back(app->pid);
  std::sort(pids.begin(), pids.end());
  return pids;
}

}  // namespace velvix::sim
