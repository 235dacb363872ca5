#include <algorithm>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Bridge/BrowserBridge.hpp"
#include "Core/MRUManager.hpp"
#include "Platform/Linux/UnixMessagePorts.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/ChildProcess.hpp"

namespace velvix {
namespace {

using nlohmann::json;
using test::ChildProcess;

const std::string kHost = std::string(VELVIX_BINARY_DIR) + "/velvix_safari_host";

// The Safari extension handler loaded by a host process the way Safari loads it, talking over the
// real message port to the application launched in this process.
class SafariExtensionScenario : public ::testing::Test {
 protected:
  std::map<std::string, std::string> environment() const { return {{"VELVIX_HOME", world.home.path()}}; }

  // One request whose message is `message`.
  static std::string request(const json& message) {
    return json{{"inputItems", json::array({{{"userInfo", {{"SFExtensionMessageKey", message}}}}})}}.dump() +
           "\n";
  }
  // The next line the host writes (a reply or a log line of the handler).
  static std::string readLine(ChildProcess& host) {
    std::string line;
    for (;;) {
      std::string byte = host.read(1);
      if (byte.empty() || byte == "\n") return line;
      line += byte;
    }
  }
  // The handler's reply to Safari: the returned item's message.
  static json reply(const std::string& line) {
    if (!line.starts_with("reply ")) return json("not a reply: " + line);
    return json::parse(line.substr(6))["SFExtensionMessageKey"];
  }
  std::vector<std::string> safariTabs() {
    std::vector<std::string> ids;
    for (const auto& item : world.services().mru->items)
      if (item.kind == ItemKind::tab && item.browser == Browser::safari) ids.push_back(item.id);
    return ids;
  }

  test::AppWorld world;
};

TEST_F(SafariExtensionScenario, AReportReachesTheInventoryAndTheQueuedSyncComesBack) {
  const auto safari = world.launchApp("com.apple.Safari", "Safari", {"News"});
  world.launch();
  ChildProcess host(kHost, {}, environment());
  const json tab = {{"tabId", 4},     {"windowId", 1},   {"index", 0},
                    {"active", true}, {"title", "News"}, {"url", "https://news.example/"}};
  ASSERT_TRUE(host.write(request(
      {{"event", "sync"},
       {"session", "page-1"},
       {"windows", json::array({{{"windowId", 1}, {"focused", true}, {"tabs", json::array({tab})}}})}})));
  // No "browser" in the message: the handler names Safari, so the application takes it.
  ASSERT_TRUE(world.loop.runUntil([&] { return !safariTabs().empty(); }));
  EXPECT_EQ(safariTabs(), (std::vector<std::string>{"tab:safari:page-1:4"}));
  EXPECT_EQ(readLine(host), "com.kolvi.velvix.SafariExtension relay info: sync: sent, status 0");
  EXPECT_EQ(reply(readLine(host)), json::parse(R"({"cmds":[{"cmd":"sync"}]})"));

  // A message that names another browser keeps its name, and the application drops it.
  ASSERT_TRUE(host.write(request({{"event", "activated"}, {"browser", "chrome"}, {"tab", tab}})));
  ASSERT_TRUE(world.loop.runUntil([&] {
    auto lines = world.debugLines();
    return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
      return l.find(R"("browser":"chrome")") != std::string::npos;
    });
  }));
  EXPECT_EQ(readLine(host), "com.kolvi.velvix.SafariExtension relay info: activated: sent, status 0");
  EXPECT_EQ(reply(readLine(host)), json::parse(R"({"ok":true})"));
  EXPECT_EQ(safariTabs().size(), 1u);
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);

  // Safari quitting ends its extension's presence at once.
  EXPECT_TRUE(world.services().bridge->isExtensionLive(Browser::safari));
  world.desktop.terminate(safari);
  world.loop.advance(1);
  EXPECT_FALSE(world.services().bridge->isExtensionLive(Browser::safari));
}

TEST_F(SafariExtensionScenario, WithoutTheApplicationOrWithAnUnusableMessageSafariStillGetsOk) {
  ChildProcess host(kHost, {}, environment());
  const json ok = {{"ok", true}};
  host.write(request({{"event", "hello"}}));
  EXPECT_EQ(readLine(host), "com.kolvi.velvix.SafariExtension relay info: hello: host port absent");
  EXPECT_EQ(reply(readLine(host)), ok);
  host.write(request({{"session", "p"}, {"opened", {{"$date", 1000}}}}));  // a date, and no event
  EXPECT_EQ(readLine(host), "com.kolvi.velvix.SafariExtension relay error: ?: not serializable");
  EXPECT_EQ(reply(readLine(host)), ok);
  host.write(R"({"inputItems":[]})"
             "\n");
  EXPECT_EQ(reply(readLine(host)), ok);
  host.write(
      R"({"inputItems":[{"notExtensionItem":true,"userInfo":{"SFExtensionMessageKey":{"event":"x"}}}]})"
      "\n");
  EXPECT_EQ(reply(readLine(host)), ok);
  host.write(request(json::array({1, 2})));  // a message that is no dictionary
  EXPECT_EQ(reply(readLine(host)), ok);
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
}

}  // namespace
}  // namespace velvix
