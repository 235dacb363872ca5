#pragma once
// The updater hook. This build carries no updater framework, so starting it and checking for
// updates only say so in the diagnostic log; the relaunch flag is kept because quit clean-up
// reads it.

namespace velvix {

struct Services;

class UpdateChecker {
 public:
  explicit UpdateChecker(Services& services) : services_(services) {}
  void startUpdater();
  void checkForUpdates();
  // Set when the updater is about to relaunch the application for an update; never reset.
  bool isRelaunchingForUpdate() const { return relaunching_; }
  void updaterWillRelaunchApplication() { relaunching_ = true; }

 private:
  Services& services_;
  bool relaunching_ = false;
};

}  // namespace velvix
