#include <gtest/gtest.h>

#include "Bridge/SafariPortServer.hpp"
#include "TestSupport/BridgeTest.hpp"

namespace velvix {
namespace {

using nlohmann::json;
using test::report;
using test::tabObject;

// The bridge's Safari port over the simulated message ports, as the handler reaches it.
class SafariPort : public test::BridgeTest {
 protected:
  std::optional<std::string> send(const std::string& data) {
    auto port = world.messagePorts.createRemote(std::string(SafariPortServer::kPortName));
    if (!port) return "<no port>";
    auto reply = port->sendRequest(0, data, 2.0, 0.5);
    EXPECT_EQ(reply.status, platform::PortStatus::success);
    return reply.data;
  }
  static std::string padded(std::string line, std::size_t size) {
    line.insert(line.size() - 1, size - line.size(), ' ');  // spaces before the closing brace
    return line;
  }
};

TEST_F(SafariPort, TheFirstMessageAfterLaunchAsksForAFullSyncAndLaterOnesGetNothing) {
  bridge.start();
  bridge.start();
  EXPECT_EQ(world.messagePorts.registrations, 1);
  const json windows = json::array(
      {{{"windowId", 1}, {"focused", true}, {"tabs", {tabObject(4, 1, "https://news.example/", true, 0)}}}});
  EXPECT_EQ(send(report("safari", "sync", "page-1", {{"windows", windows}})), R"({"cmds":[{"cmd":"sync"}]})");
  EXPECT_EQ(tabIDs(), (std::vector<std::string>{"tab:safari:page-1:4"}));
  EXPECT_EQ(send(report("safari", "hello", "page-1")), R"({"ok":true})");
  EXPECT_TRUE(bridge.isExtensionLive(Browser::safari));
}

TEST_F(SafariPort, MessagesThatAreNoSafariReportAreLoggedAndAnsweredButChangeNothing) {
  bridge.start();
  send(report("safari", "hello", "p"));  // takes the first sync request
  world.loop.advance(80);
  EXPECT_EQ(send("not json at all"), R"({"ok":true})");
  EXPECT_EQ(send(test::activated("chrome", "s", 9)), R"({"ok":true})");
  EXPECT_TRUE(tabIDs().empty());
  EXPECT_FALSE(bridge.isExtensionLive(Browser::safari));  // neither counts as Safari reporting
  EXPECT_TRUE(logged("safari port recv: not json at all"));
  EXPECT_TRUE(logged("safari port recv: " + test::activated("chrome", "s", 9)));
}

TEST_F(SafariPort, EmptyOversizedAndNonUTF8RequestsGetNoReply) {
  bridge.start();
  const std::string hello = report("safari", "hello", "p");
  EXPECT_EQ(send(padded(hello, SafariPortServer::kMaxRequestBytes)), R"({"cmds":[{"cmd":"sync"}]})");
  EXPECT_EQ(send(padded(hello, SafariPortServer::kMaxRequestBytes + 1)), std::nullopt);
  EXPECT_EQ(send(""), std::nullopt);
  EXPECT_EQ(send(R"({"browser":"safari","event":"hello","session":"p)"
                 "\xC3"
                 R"("})"),
            std::nullopt);
  EXPECT_EQ(send(report("safari", "hello", "p")), R"({"ok":true})");
}

TEST_F(SafariPort, ANameHeldByAnotherProcessLeavesThePortOffAndTheSocketOn) {
  world.messagePorts.heldElsewhere.insert(std::string(SafariPortServer::kPortName));
  bridge.start();
  EXPECT_FALSE(bridge.isSafariPortRegistered());
  EXPECT_TRUE(bridge.isListening());
  EXPECT_EQ(world.messagePorts.createRemote(std::string(SafariPortServer::kPortName)), nullptr);
}

}  // namespace
}  // namespace velvix
