#pragma once
// The update framework the application links: one standard updater controller that is started
// once at launch, checks on request, and says when it is about to relaunch the application to
// finish an update. Its feed and signing key belong to the application's bundle, not to code.

#include <functional>

namespace velvix::platform {

class Updater {
 public:
  virtual ~Updater() = default;
  // Begins the framework's own schedule of automatic checks. Nothing checks before this.
  virtual void startUpdater() = 0;
  // A check the user asked for (the menus' "Check for Updates…").
  virtual void checkForUpdates() = 0;
  // Told, on the main loop, when the framework is about to relaunch the application.
  virtual void setWillRelaunchHandler(std::function<void()> handler) = 0;
};

}  // namespace velvix::platform
