#include "Bridge/BrowserBridge.hpp"

#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/ExtensionCommand.hpp"
#include "Core/Services.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"

namespace velvix {

BrowserBridge::BrowserBridge(Services& services) : services_(services) {}
BrowserBridge::~BrowserBridge() = default;

bool BrowserBridge::isChromiumConnected(Browser browser) const {
  auto it = chromiumClients_.find(browser);
  return it != chromiumClients_.end() && !it->second.empty();
}

bool BrowserBridge::isExtensionLive(Browser browser) const {
  if (browser == Browser::terminal) return false;
  if (browser == Browser::safari)
    return lastSafariEventAt_ && services_.loop->uptime() - *lastSafariEventAt_ < kSafariLiveFor;
  if (!browsers::isEditor(browser) && !browsers::dataDir(browser)) return false;
  return isChromiumConnected(browser);
}

void BrowserBridge::requestChromiumSync(Browser browser) {
  auto it = chromiumClients_.find(browser);
  if (it == chromiumClients_.end()) return;
  for (const auto& [key, client] : it->second) client->sendLine(ExtensionCommand::sync());
}

bool BrowserBridge::closeChromiumTab(const SwitchableItem& item) {
  if (!item.browser || !item.tabID || !item.session) return false;
  auto perBrowser = chromiumClients_.find(*item.browser);
  if (perBrowser == chromiumClients_.end()) return false;
  auto client = perBrowser->second.find(*item.session);
  if (client == perBrowser->second.end()) return false;
  if (!client->second->sendLine(ExtensionCommand::close(*item.tabID))) return false;
  const std::int64_t tabID = *item.tabID;
  pendingCloses_[tabID] = item;
  services_.loop->postAfter(kCloseFallbackAfter, [this, watch = alive_.watch(), tabID] {
    if (watch.expired()) return;
    auto pending = pendingCloses_.find(tabID);
    if (pending == pendingCloses_.end()) return;  // the extension reported it removed
    SwitchableItem stale = std::move(pending->second);
    pendingCloses_.erase(pending);
    if (services_.scripts) services_.scripts->resolve(stale, "closetab", [](bool) {});
  });
  return true;
}

void BrowserBridge::browserQuit(Browser browser) {
  if (browser == Browser::safari) lastSafariEventAt_.reset();
  services_.notifications->post(kStatusChangedNotification);
}

}  // namespace velvix
