#pragma once
// The updater on Linux, where no update framework exists: it records that it was started and
// what checks were asked for, checks nothing, and lets a test announce an update's relaunch.

#include <functional>

#include "Platform/Updater.hpp"

namespace velvix::platform {
class MainLoop;
}

namespace velvix::sim {

class SimUpdater final : public platform::Updater {
 public:
  // What the framework's window says here, in place of looking for an update.
  static constexpr const char* kPanelMessage =
      "This build carries no update framework, so it looks for no updates and installs none.";

  explicit SimUpdater(platform::MainLoop& loop) : loop_(loop) {}

  void startUpdater() override { ++starts; }
  void checkForUpdates() override {
    ++checks;
    if (showPanel) showPanel();
  }
  void setWillRelaunchHandler(std::function<void()> handler) override { willRelaunch_ = std::move(handler); }

  // The framework is about to relaunch the application: the handler runs on the main loop.
  void announceRelaunch();

  // The framework's own window a user's check opens (one of the program's windows), when set.
  std::function<void()> showPanel;
  int starts = 0;
  int checks = 0;

 private:
  platform::MainLoop& loop_;
  std::function<void()> willRelaunch_;
};

}  // namespace velvix::sim
