#include "Platform/Simulated/SimDesktopProcessTable.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using Probe = platform::ProcessTable::Probe;

Probe SimDesktopProcessTable::probe(platform::Pid pid) const {
  if (extraPIDs_.contains(pid)) return extra_.probe(pid);
  const SimApp* app = desktop_.app(pid);
  return app && !app->terminated ? Probe::exists : Probe::gone;
}

std::optional<platform::Pid> SimDesktopProcessTable::parent(platform::Pid pid) const {
  if (extraPIDs_.contains(pid)) return extra_.parent(pid);
  const SimApp* app = desktop_.app(pid);
  if (app && !app->terminated) return 1;  // applications are started by the system
  return std::nullopt;
}

std::optional<std::string> SimDesktopProcessTable::executablePath(platform::Pid pid) const {
  if (extraPIDs_.contains(pid)) return extra_.executablePath(pid);
  const SimApp* app = desktop_.app(pid);
  if (!app || app->terminated || !app->bundlePath) return std::nullopt;
  return *app->bundlePath + "/Contents/MacOS/" + app->name.value_or("app");
}

}  // namespace velvix::sim
