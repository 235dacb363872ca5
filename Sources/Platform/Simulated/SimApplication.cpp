#include "Platform/Simulated/SimApplication.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

void SimApplication::activate(bool) { desktop_.activate(desktop_.selfPid()); }

void SimApplication::deactivate() {
  ++deactivations;
  desktop_.deactivate(desktop_.selfPid());
}

void SimApplication::terminate() {
  ++terminateRequests;
  if (onTerminate) onTerminate();
}

std::vector<platform::Application::OwnWindow> SimApplication::windows() const {
  std::vector<OwnWindow> result;
  for (auto number : desktop_.windowsOf(desktop_.selfPid())) {
    const SimWindow* w = desktop_.window(number);
    result.push_back({number, w->minimized, !w->minimized});
  }
  return result;
}

void SimApplication::deminiaturize(std::int64_t window) { desktop_.setMinimized(window, false); }

void SimApplication::makeKeyAndOrderFront(std::int64_t window) {
  if (const SimWindow* w = desktop_.window(window); w && w->owner == desktop_.selfPid()) desktop_.raiseWindow(window);
}

bool SimApplication::isActive() const { return desktop_.frontmostPid() == desktop_.selfPid(); }

}  // namespace velvix::sim
