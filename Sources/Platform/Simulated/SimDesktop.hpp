#pragma once
// The simulated desktop: one world that owns every simulated process and application, and the
// facades that implement the platform interfaces over it. Everything in it happens on the main
// loop's clock (virtual time in tests), so its behaviour is deterministic.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/MainLoop.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::sim {

class SimWorkspace;
class SimLoginItems;

// One simulated application process.
struct SimApp {
  platform::Pid pid = 0;
  std::optional<std::string> bundleID;
  std::optional<std::string> name;
  std::optional<std::string> bundlePath;
  platform::ActivationPolicy activationPolicy = platform::ActivationPolicy::Regular;
  bool terminated = false;
  // How it answers a force-terminate: quits after `quitDelay` seconds, or never.
  bool ignoresTermination = false;
  double quitDelay = 0.2;
};

struct AppSpec {
  std::string bundleID;
  std::string name;
  bool ignoresTermination = false;
  double quitDelay = 0.2;
  platform::ActivationPolicy activationPolicy = platform::ActivationPolicy::Regular;
  std::optional<platform::Pid> pid;  // made up when absent
};

class SimDesktop {
 public:
  explicit SimDesktop(platform::MainLoop& loop);
  ~SimDesktop();
  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  platform::MainLoop& loop() { return loop_; }

  // ---- processes and applications
  platform::Pid launch(const AppSpec& spec);
  // Registers this program itself as a running application of the desktop.
  platform::Pid launchSelf(const std::string& bundleID, const std::string& name = "Velvix");
  void terminate(platform::Pid pid);
  SimApp* app(platform::Pid pid);
  const SimApp* app(platform::Pid pid) const;
  std::vector<const SimApp*> apps() const;
  platform::Pid selfPid() const { return selfPid_; }

  // ---- facades
  SimWorkspace& workspace() { return *workspace_; }
  SimLoginItems& loginItems() { return *loginItems_; }

  // Process activities begun and not yet ended (their reasons), for tests.
  std::vector<std::string> activeActivities() const;

 private:
  friend class SimWorkspace;
  struct Activity;

  platform::MainLoop& loop_;
  std::map<platform::Pid, std::unique_ptr<SimApp>> apps_;
  platform::Pid nextPid_ = 501;
  platform::Pid selfPid_ = 0;
  std::vector<platform::Timer> pendingQuits_;
  std::shared_ptr<std::vector<std::string>> activities_;
  std::unique_ptr<SimWorkspace> workspace_;
  std::unique_ptr<SimLoginItems> loginItems_;
};

}  // namespace velvix::sim
