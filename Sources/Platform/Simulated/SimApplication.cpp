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

bool SimApplication::isActive() const { return desktop_.frontmostPid() == desktop_.selfPid(); }

}  // namespace velvix::sim
