#pragma once
// The application's hook into the update framework: starts its updater once at launch, passes on
// the user's "Check for Updates…", and remembers that the coming termination is the updater's
// relaunch, which quit clean-up reads. Main thread only.

#include "Support/AliveToken.hpp"

namespace velvix {

namespace platform {
class Updater;
}

class UpdateChecker {
 public:
  explicit UpdateChecker(platform::Updater& updater) : updater_(updater) {}
  void startUpdater();
  void checkForUpdates();
  // Set when the updater is about to relaunch the application for an update; never reset.
  bool isRelaunchingForUpdate() const { return relaunching_; }
  void updaterWillRelaunchApplication() { relaunching_ = true; }

 private:
  // Hands the framework our relaunch handler the first time it is used.
  void connect();

  platform::Updater& updater_;
  bool connected_ = false;
  bool relaunching_ = false;
  AliveToken alive_;
};

}  // namespace velvix
