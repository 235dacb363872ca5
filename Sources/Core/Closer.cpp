#include "Core/Closer.hpp"

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Platform/Workspace.hpp"
#include "Support/DebugLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

void Closer::close(const SwitchableItem& item) {
  if (item.kind == ItemKind::app) {
    std::optional<platform::RunningApplication> app;
    if (item.pid) app = workspace_.application(*item.pid);
    if (!app) app = runningApps_.first(item.bundleID);
    if (!app) return;
    if (item.windowNumber) {
      auto found = ax_.findWindow(*item.windowNumber, item.title, app->pid);
      if (found.element) ax_.pressCloseButton(*found.element);
    } else {
      ax_.closeFrontWindow(app->pid);
    }
    return;
  }
  if (!item.browser || !runningApps_.first(std::string(browsers::bundleID(*item.browser)))) {
    log_.log("close skipped, browser not running");
    return;
  }
  if (browsers::isChromiumFamily(*item.browser) && item.tabID && browserBridge_.closeChromiumTab(item)) {
    log_.log("close sent to Chrome extension");
    return;
  }
  appleScripts_.resolve(item, "closetab", [&log = log_](bool ok) {
    log.log(std::string("AppleScript close result=") + (ok ? "true" : "false"));
  });
}

}  // namespace velvix
