#include "Support/UpdateChecker.hpp"

#include "Core/Services.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

void UpdateChecker::startUpdater() { services_.log->log("updater: no update framework in this build"); }

void UpdateChecker::checkForUpdates() { services_.log->log("updater: update check asked for; no update framework in this build"); }

}  // namespace velvix
