#include "Support/UpdateChecker.hpp"

#include "Platform/Updater.hpp"

namespace velvix {

void UpdateChecker::connect() {
  if (connected_) return;
  connected_ = true;
  updater_.setWillRelaunchHandler([this, watch = alive_.watch()] {
    if (!watch.expired()) updaterWillRelaunchApplication();
  });
}

void UpdateChecker::startUpdater() {
  connect();
  updater_.startUpdater();
}

void UpdateChecker::checkForUpdates() {
  connect();
  updater_.checkForUpdates();
}

}  // namespace velvix
