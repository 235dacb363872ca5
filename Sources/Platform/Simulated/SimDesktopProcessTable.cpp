#include "Platform/Simulated/SimDesktopProcessTable.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using Probe = platform::ProcessTable::Probe;

Probe SimDesktopProcessTable::probe(platform::Pid pid) const {
  if (auto it = extra_.find(pid); it != extra_.end()) {
    if (!it->second.alive) return Probe::gone;
    return it->second.otherUser ? Probe::existsOtherUser : Probe::exists;
  }
  const SimApp* app = desktop_.app(pid);
  return app && !app->terminated ? Probe::exists : Probe::gone;
}

std::optional<platform::Pid> SimDesktopProcessTable::parent(platform::Pid pid) const {
  if (auto it = extra_.find(pid); it != extra_.end()) return it->second.parent;
  const SimApp* app = desktop_.app(pid);
  if (app && !app->terminated) return 1;  // applications are started by the system
  return std::nullopt;
}

std::optional<std::string> SimDesktopProcessTable::executablePath(platform::Pid pid) const {
  if (auto it = extra_.find(pid); it != extra_.end()) return it->second.executablePath;
  const SimApp* app = desktop_.app(pid);
  if (!app || app->terminated || !app->bundlePath) return std::nullopt;
  return *app->bundlePath + "/Contents/MacOS/" + app->name.value_or("app");
}

}  // namespace velvix::sim
