#include "Support/UpdateChecker.hpp"

#include "Core/Services.hpp"
#include "Platform/Updater.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

void UpdateChecker::connect() {
  if (connected_ || !services_.updaterFramework) return;
  connected_ = true;
  services_.updaterFramework->setWillRelaunchHandler([this, watch = alive_.watch()] {
    if (!watch.expired()) updaterWillRelaunchApplication();
  });
}

void UpdateChecker::startUpdater() {
  if (!services_.updaterFramework) {
    services_.log->log("updater: no update framework in this build");
    return;
  }
  connect();
  services_.updaterFramework->startUpdater();
}

void UpdateChecker::checkForUpdates() {
  if (!services_.updaterFramework) {
    services_.log->log("updater: update check asked for; no update framework in this build");
    return;
  }
  connect();
  services_.updaterFramework->checkForUpdates();
}

}  // namespace velvix
