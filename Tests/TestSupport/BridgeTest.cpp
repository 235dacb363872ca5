#include "TestSupport/BridgeTest.hpp"

#include <algorithm>

namespace velvix::test {

using nlohmann::json;

json tabObject(std::int64_t tabID, std::int64_t windowID, const std::string& url, bool active,
               std::int64_t index) {
  return {{"tabId", tabID}, {"windowId", windowID},
          {"index", index}, {"title", "Page " + std::to_string(tabID)},
          {"url", url},     {"active", active}};
}

std::string report(const std::string& browser, const std::string& event,
                   const std::optional<std::string>& session, json fields) {
  fields["browser"] = browser;
  fields["event"] = event;
  if (session) fields["session"] = *session;
  return fields.dump();
}

std::string activated(const std::string& browser, const std::optional<std::string>& session,
                      std::int64_t tabID, const std::string& url) {
  return report(browser, "activated", session, {{"tab", tabObject(tabID, 1, url)}});
}

SwitchableItem extensionTab(Browser browser, std::optional<std::string> session, std::int64_t tabID,
                            std::string windowID, std::string url, std::optional<std::int64_t> index) {
  SwitchableItem item;
  item.kind = ItemKind::tab;
  item.source = TabSource::webExtension;
  item.browser = browser;
  item.bundleID = std::string(browsers::bundleID(browser));
  item.id = MRUManager::tabItemID(browser, session, tabID);
  item.session = std::move(session);
  item.tabID = tabID;
  item.windowID = std::move(windowID);
  item.tabIndex = index;
  item.url = std::move(url);
  return item;
}

BridgeTest::BridgeTest() {
  world.defaults.set("debugLogging", true);
  world.services();
  statusObservation = world.notifications().observe(BrowserBridge::kStatusChangedNotification,
                                                    [this](const auto&) { ++statusPosts; });
}

platform::Pid BridgeTest::connectionsComeFrom(const std::string& bundleID, const std::string& name) {
  const auto pid = world.desktop.launch({.bundleID = bundleID, .name = name});
  world.runTestProgramUnder(pid);
  return pid;
}

std::vector<std::string> BridgeTest::tabIDs() {
  std::vector<std::string> ids;
  for (const auto& e : world.mru().entries())
    if (e.kind == ItemKind::tab) ids.push_back(e.id);
  return ids;
}

std::vector<std::string> BridgeTest::keys(Browser browser) const {
  std::vector<std::string> result;
  auto it = bridge.chromiumClients().find(browser);
  if (it != bridge.chromiumClients().end())
    for (const auto& [key, client] : it->second) result.push_back(key);
  return result;
}

bool BridgeTest::logged(const std::string& line) {
  const auto lines = world.debugLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace velvix::test
