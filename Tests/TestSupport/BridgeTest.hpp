#pragma once
// A fixture for tests of the browser bridge and its neighbours: the bridge over a fresh world
// with every service, fed through real socket connections of the test program, which the peer
// check takes for the installed relay (or an editor's host) under whatever application the test
// names. Also builds the report lines that the extensions send.

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Bridge/BrowserBridge.hpp"
#include "TestSupport/SocketPeers.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix::test {

// One tab object of a report.
nlohmann::json tabObject(std::int64_t tabID, std::int64_t windowID, const std::string& url,
                         bool active = false, std::int64_t index = 0);
// A report line: `fields` with the envelope added.
std::string report(const std::string& browser, const std::string& event,
                   const std::optional<std::string>& session,
                   nlohmann::json fields = nlohmann::json::object());
// An "activated" report of a tab in window 1 (its window has the focus).
std::string activated(const std::string& browser, const std::optional<std::string>& session,
                      std::int64_t tabID, const std::string& url = "https://page.example/");

// A tab entry as the inventory makes it from an extension's report.
SwitchableItem extensionTab(Browser browser, std::optional<std::string> session, std::int64_t tabID,
                            std::string windowID, std::string url, std::optional<std::int64_t> index = 0);

class BridgeTest : public ::testing::Test {
 protected:
  using Peer = SocketPeers::Peer;

  BridgeTest();

  // From now on the test program's connections are traced to a running application of this kind
  // (connections made before keep the verdict of their accept).
  platform::Pid connectionsComeFrom(const std::string& bundleID, const std::string& name);
  // The ids of the inventory's tab entries, in its order.
  std::vector<std::string> tabIDs();
  // The registration keys of the browser's connections.
  std::vector<std::string> keys(Browser browser) const;
  static std::string connKey(const Peer& peer) { return "conn:" + std::to_string(peer.client->number()); }
  bool logged(const std::string& line);

  TestWorld world;
  BrowserBridge& bridge = world.browserBridge();
  // Judged by the bridge as they connect, as its own socket's peers are.
  SocketPeers peers{
      world.loop, world.home.path(),
      [this](const std::shared_ptr<UnixSocketServer::Client>& client) { bridge.handleAccept(client); }};
  int statusPosts = 0;
  platform::NotificationCenter::Observation statusObservation;
};

}  // namespace velvix::test
