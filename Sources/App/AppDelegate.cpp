#include "App/AppDelegate.hpp"

#include <algorithm>
#include <vector>

#include "Platform/MainLoop.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

AppDelegate::AppDelegate(Services& services) : services_(services) {}
AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
  services_.log->health("launched");
  terminateOtherInstances();
  noNapActivity_ = services_.workspace->beginActivity(kNoNapActivityOptions, kNoNapReason);
}

void AppDelegate::applicationWillTerminate() { services_.log->health("quit"); }

// Only one copy may own the chord: an older copy is force-terminated and given up to 2 s to go,
// spinning the loop meanwhile. One that refuses is left running and the launch goes on.
void AppDelegate::terminateOtherInstances() {
  platform::Workspace& workspace = *services_.workspace;
  const std::string bundleID = workspace.ownBundleIdentifier();
  // A bundle without an identifier cannot tell its copies from unrelated programs.
  if (bundleID.empty()) return;
  std::vector<platform::Pid> others;
  for (const auto& app : workspace.runningApplications(bundleID))
    if (app.pid != workspace.ownPid()) others.push_back(app.pid);
  if (others.empty()) return;

  for (platform::Pid pid : others) workspace.forceTerminate(pid);
  platform::MainLoop& loop = *services_.loop;
  const double deadline = loop.uptime() + kOtherInstancesDeadline;
  auto allGone = [&] {
    return std::all_of(others.begin(), others.end(), [&](platform::Pid pid) { return workspace.isTerminated(pid); });
  };
  while (!allGone() && loop.uptime() < deadline) loop.runFor(kOtherInstancesPollSlice);
}

}  // namespace velvix
