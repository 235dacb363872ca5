// What the rest of the system asks of the bridge: whether an extension is there, the commands
// it writes to the extensions (activate, close with its Apple Events fallback, sync), and
// Safari's command queue, which the replies to Safari's messages drain.

#include <algorithm>
#include <charconv>

#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Bridge/ExtensionCommand.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Preferences.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Utf8.hpp"
#include "Support/DebugLog.hpp"
#include "Support/LogText.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

bool BrowserBridge::isChromiumConnected(Browser browser) const {
  auto it = chromiumClients_.find(browser);
  return it != chromiumClients_.end() && !it->second.empty();
}

std::vector<std::shared_ptr<BrowserBridge::Client>> BrowserBridge::clients(Browser browser) const {
  std::vector<std::shared_ptr<Client>> result;
  if (auto it = chromiumClients_.find(browser); it != chromiumClients_.end())
    for (const auto& [key, client] : it->second) result.push_back(client);
  return result;
}

// Commands go to the connection of the item's own session; one registered under a "conn:" key
// is never found this way.
std::shared_ptr<BrowserBridge::Client> BrowserBridge::client(
    Browser browser, const std::optional<std::string>& session) const {
  if (!session) return nullptr;
  auto it = chromiumClients_.find(browser);
  if (it == chromiumClients_.end()) return nullptr;
  auto slot = it->second.find(*session);
  return slot == it->second.end() ? nullptr : slot->second;
}

bool BrowserBridge::safariReportedWithin(double seconds) const {
  return lastSafariEventAt_ && uptime() - *lastSafariEventAt_ < seconds;
}

bool BrowserBridge::isExtensionLive(Browser browser) const {
  if (browsers::isEditor(browser)) return isChromiumConnected(browser);
  if (browser == Browser::terminal) return false;
  if (browser == Browser::safari) return safariReportedWithin(kSafariLiveFor);
  return browsers::dataDir(browser).has_value() && isChromiumConnected(browser);
}

bool BrowserBridge::canAcceptCommands(Browser browser) const {
  return browser != Browser::safari && browser != Browser::terminal && isExtensionLive(browser);
}

bool BrowserBridge::isAnyChromiumConnected() const {
  const auto& all = browsers::all();
  return std::any_of(all.begin(), all.end(),
                     [&](Browser b) { return browsers::isChromiumFamily(b) && isChromiumConnected(b); });
}

bool BrowserBridge::safariNeedsWebsiteAccess() const {
  return safariReportedWithin(kSafariLiveFor) && lastSafariRedactionAt_ &&
         uptime() - *lastSafariRedactionAt_ < kRedactionNoticeFor;
}

void BrowserBridge::browserQuit(Browser browser) {
  if (browser == Browser::safari) lastSafariEventAt_.reset();
  postStatusChanged();
}

void BrowserBridge::refreshExtensionPresence() {
  Setting<bool>& seen = preferences_.chromeExtensionSeen;
  const auto& all = browsers::all();
  if (isAnyChromiumConnected()) {
    chromiumSilentSince_.reset();
    if (!seen.get()) seen.set(true);
    return;
  }
  const bool running = std::any_of(all.begin(), all.end(), [&](Browser b) {
    return browsers::isChromiumFamily(b) && runningApps_.first(std::string(browsers::bundleID(b)));
  });
  if (!running) {
    chromiumSilentSince_.reset();
    return;
  }
  // A browser runs without its extension: after a grace, the extension counts as removed.
  if (!chromiumSilentSince_) chromiumSilentSince_ = uptime();
  if (uptime() - *chromiumSilentSince_ > kExtensionSilentGrace && seen.get()) {
    log_.log("extension silent past grace; treating as removed");
    seen.set(false);
  }
}

void BrowserBridge::requestChromiumSync(Browser browser) {
  for (const auto& c : clients(browser)) c->sendLine(ExtensionCommand::sync());
}

bool BrowserBridge::sendActivate(const SwitchableItem& item) {
  if (item.kind != ItemKind::tab || item.source != TabSource::webExtension || !item.browser || !item.tabID ||
      !item.windowID)
    return false;
  const std::string& text = *item.windowID;
  std::int64_t windowID = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), windowID);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  auto connection = client(*item.browser, item.session);
  return connection && connection->sendLine(ExtensionCommand::activate(*item.tabID, windowID));
}

bool BrowserBridge::closeChromiumTab(const SwitchableItem& item) {
  if (!item.browser || !item.tabID || !item.session) return false;
  auto connection = client(*item.browser, item.session);
  const std::int64_t tabID = *item.tabID;
  if (!connection || !connection->sendLine(ExtensionCommand::close(tabID))) return false;
  // The extension answers a close with a "removed" report; without one the tab is closed over
  // Apple Events. Keyed by the tab's item id, so only that browser's and session's report counts.
  const std::string key = MRUManager::tabItemID(*item.browser, item.session, tabID);
  pendingCloses_[key] = item;
  loop_.postAfter(kCloseConfirmWait, [this, watch = alive_.watch(), key, tabID] {
    if (watch.expired()) return;
    auto pending = pendingCloses_.find(key);
    if (pending == pendingCloses_.end()) return;
    const SwitchableItem unclosed = std::move(pending->second);
    pendingCloses_.erase(pending);
    // Only the very tab, by its window's and its own id: an extension that reported late has
    // closed it already, and a tab that slid into its place is another one the user kept.
    appleScripts_.closeIdentified(unclosed, [this, watch, tabID](bool closed) {
      if (watch.expired()) return;
      log_.log("extension silent on close(tab " + std::to_string(tabID) +
               "); AppleScript fallback result=" + (closed ? "true" : "false"));
    });
  });
  return true;
}

void BrowserBridge::enqueueSafariCommand(nlohmann::json payload, std::optional<std::string> session) {
  safariCommands_.push_back({std::move(session), std::move(payload)});
  if (safariCommands_.size() > kMaxSafariCommands)
    safariCommands_.erase(safariCommands_.begin(), safariCommands_.end() - kMaxSafariCommands);
}

std::string BrowserBridge::drainSafariCommands(const std::optional<std::string>& session) {
  static const std::string kNothing = R"({"ok":true})";
  auto isDue = [&](const SafariCommand& c) { return !c.session || (session && c.session == session); };
  nlohmann::json due = nlohmann::json::array();
  std::vector<std::string> names;
  for (const auto& c : safariCommands_)
    if (isDue(c)) {
      due.push_back(c.payload);
      const auto cmd = c.payload.is_object() ? c.payload.find("cmd") : c.payload.end();
      names.push_back(cmd != c.payload.end() && cmd->is_string() ? cmd->get<std::string>() : "?");
    }
  if (due.empty()) return kNothing;
  std::erase_if(safariCommands_, isDue);
  log_.log("safari cmds \u2192 " + (session ? utf8::prefix(*session, 8) : std::string("any")) + ": " +
           logtext::quotedList(names));
  try {
    return nlohmann::json{{"cmds", std::move(due)}}.dump();
  } catch (const nlohmann::json::exception&) {
    return kNothing;  // a payload that cannot be written as JSON text (the taken commands are lost)
  }
}

bool BrowserBridge::reportsTabs(Browser browser) const {
  return !browsers::isEditor(browser) || isChromiumConnected(browser);
}

}  // namespace velvix
