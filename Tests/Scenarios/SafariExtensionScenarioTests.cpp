#include <algorithm>
#include <filesystem>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include "Bridge/BrowserBridge.hpp"
#include "Core/MRUManager.hpp"
#include "Platform/Linux/UnixMessagePorts.hpp"
#include "SafariExtension/Shared/PortChannel.hpp"
#include "SafariExtension/Sources/ExtensionContext.h"
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
    for (const auto& item : world.services().mru->entries())
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
  EXPECT_TRUE(world.services().browserBridge->isExtensionLive(Browser::safari));
  world.desktop.terminate(safari);
  world.loop.advance(1);
  EXPECT_FALSE(world.services().browserBridge->isExtensionLive(Browser::safari));
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

TEST_F(SafariExtensionScenario, AnApplicationThatTakesNoConnectionIsASendTimeoutAndSafariGetsOk) {
  // A port whose owner is stopped: it listens, accepts nothing, and its backlog is full.
  const std::string folder = portchannel::portsFolder(world.home.path().string());
  std::filesystem::create_directories(folder);
  auto address = portchannel::Address::make(folder, portchannel::fileName(portchannel::kBridgePortName));
  ASSERT_TRUE(address);
  const int stopped = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(::bind(stopped, address->get(), address->size()), 0);
  ASSERT_EQ(::listen(stopped, 0), 0);
  std::vector<int> waiting;
  for (int i = 0; i < 64; ++i) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (::connect(fd, address->get(), address->size()) != 0) {
      ::close(fd);
      break;
    }
    waiting.push_back(fd);
  }

  ChildProcess host(kHost, {}, environment());
  host.write(request({{"event", "hello"}}));
  EXPECT_EQ(readLine(host), "com.kolvi.velvix.SafariExtension relay info: hello: sent, status -1");
  EXPECT_EQ(reply(readLine(host)), json({{"ok", true}}));
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
  for (int fd : waiting) ::close(fd);
  ::close(stopped);
}

// What the plug-in handed back, for the request of the test below.
std::string deepReply;
void keepReply(void*, const char* text, size_t length) {
  deepReply.assign(text, length);
}

// Loads the plug-in the way Safari loads it and hands it {"event": "deep", "nested": [[[...]]]},
// 50,000 levels deep; exits 0 when the answer was {"ok": true}.
[[noreturn]] void requestNestedTooDeeply() {
  void* plugin = ::dlopen(VELVIX_BINARY_DIR "/VelvixSafariExtension.so", RTLD_NOW | RTLD_LOCAL);
  auto begin =
      plugin ? reinterpret_cast<VelvixBeginRequest>(::dlsym(plugin, VELVIX_EXTENSION_ENTRY)) : nullptr;
  if (!begin) std::_Exit(2);
  std::vector<VelvixValue> levels(50'000);
  for (std::size_t i = 0; i + 1 < levels.size(); ++i)
    levels[i] = {.kind = VelvixValueArray, .count = 1, .items = &levels[i + 1]};
  levels.back() = {.kind = VelvixValueNull};
  const std::string event = "deep", eventKey = "event", nestedKey = "nested",
                    messageKey = VELVIX_EXTENSION_MESSAGE_KEY;
  auto text = [](const std::string& s) {
    return VelvixValue{.kind = VelvixValueString, .bytes = s.data(), .length = s.size()};
  };
  const VelvixValue keys[] = {text(eventKey), text(nestedKey)};
  const VelvixValue values[] = {text(event), levels[0]};
  const VelvixValue message{.kind = VelvixValueDictionary, .count = 2, .items = values, .keys = keys};
  const VelvixValue infoKey = text(messageKey);
  const VelvixValue userInfo{.kind = VelvixValueDictionary, .count = 1, .items = &message, .keys = &infoKey};
  const VelvixInputItem item{.isExtensionItem = 1, .userInfo = &userInfo};
  const VelvixExtensionContext context{
      .inputItemCount = 1, .inputItems = &item, .completeRequest = keepReply, .info = nullptr};
  begin(&context);
  std::_Exit(json::parse(deepReply) == json::parse(R"({"SFExtensionMessageKey":{"ok":true}})") ? 0 : 3);
}

TEST(SafariExtensionHandler, AMessageNestedTooDeeplyIsAnsweredAsAnyUnusableOne) {
  // In a child of its own: a crash there fails the test.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(requestNestedTooDeeply(), ::testing::ExitedWithCode(0), "relay error: deep: not serializable");
}

}  // namespace
}  // namespace velvix
