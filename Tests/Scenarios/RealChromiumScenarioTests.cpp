// The whole road against a real browser, as a person takes it: the application runs over the
// built-in desktop and writes its host manifest; Debian's chromium, started the way
// scripts/chromium starts it (headless here), loads the extension, starts the relay through the
// manifest and reports its tabs over the real socket. The desktop then has a "Chromium" whose
// pages the chord switches to, closes and moves, in chromium itself.

#include <algorithm>
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "App/RealChromiumMirror.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Core/MRUManager.hpp"
#include "Core/TabMover.hpp"
#include "Input/SwitcherController.hpp"
#include "Platform/InputEvent.hpp"
#include "Platform/Linux/LinuxProcessTable.hpp"
#include "Platform/ScreenPlacement.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/RunningApps.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/HeadlessChromium.hpp"
#include "TestSupport/LoopbackHttpServer.hpp"
#include "TestSupport/TestSocket.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;
using platform::EventFlag::kCommand;

// A page that tells the test server, from inside the browser, whenever it is shown or hidden.
std::string pageHTML(const std::string& name) {
  return "<!doctype html><title>Page " + name + "</title><script>function tell(){fetch('/seen/" + name +
         "/'+document.visibilityState)}document.addEventListener('visibilitychange',tell);tell();</script>";
}

class RealChromiumScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(sim::SampleDesktop::load(w.desktop, sim::SampleDesktop::builtIn()));
    RealChromiumMirror::installWhereChromiumIs(w.desktop);  // as the program does
    w.realSocketPeers = true;
    w.launch();
    ASSERT_TRUE(w.services().browserBridge->isListening());
  }

  // Turns the application's loop until `done` holds, within a real-time bound.
  bool waitFor(const std::function<bool()>& done,
               std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    return test::eventually(
        [&] {
          w.loop.runUntilIdle();
          return done();
        },
        bound);
  }

  std::optional<SwitchableItem> tabAt(const std::string& url) {
    for (const auto& item : w.services().mru->entries())
      if (item.kind == ItemKind::tab && item.browser == Browser::chromium && item.url == url) return item;
    return std::nullopt;
  }
  std::optional<platform::Pid> standIn() {
    auto app = w.services().runningApps->first(RealChromiumMirror::kBundleID);
    return app ? std::optional(app->pid) : std::nullopt;
  }
  bool pageSeen(const std::string& request, std::size_t since) {
    const auto requests = pages.requests();
    return std::find(requests.begin() + static_cast<std::ptrdiff_t>(since), requests.end(), request) !=
           requests.end();
  }
  std::size_t logCount(const std::string& prefix) {
    const auto lines = w.debugLines();
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.starts_with(prefix); });
  }
  // Relays now running: processes of the support folder's relay program.
  std::vector<platform::Pid> relays() {
    const auto relay =
        fs::weakly_canonical(SupportFolder::path(w.home.path()) / ChromeHostInstaller::kRelayName);
    platform::LinuxProcessTable processes;
    std::vector<platform::Pid> found;
    for (auto pid : processes.allPids())
      if (processes.executablePath(pid) == relay.string()) found.push_back(pid);
    return found;
  }
  // Holds the trigger, taps Tab until the page is selected, then presses `key` or releases.
  bool chooseInSwitcher(const std::string& url, std::optional<std::int64_t> key = std::nullopt) {
    w.hold(kCommand);
    w.tab();
    auto* switcher = w.app->delegate().switcher();
    if (!switcher->session()) return false;
    const auto& list = *switcher->session();
    auto page = std::find_if(list.begin(), list.end(), [&](const SwitchableItem& e) { return e.url == url; });
    if (page == list.end()) {
      w.release();
      return false;
    }
    // Tab steps on and wraps around from the last entry to the first.
    const std::size_t steps =
        (static_cast<std::size_t>(page - list.begin()) + list.size() - switcher->index()) % list.size();
    for (std::size_t i = 0; i < steps; ++i) w.tab();
    if (switcher->index() != static_cast<std::size_t>(page - list.begin())) {
      w.release();
      return false;
    }
    if (key) w.key(*key);
    w.release();
    return true;
  }
  std::optional<std::int64_t> windowOfPage(test::HeadlessChromium& chromium, const std::string& url) {
    auto target = chromium.targetOf(url);
    auto window =
        target ? chromium.devtools("Browser.getWindowForTarget", {{"targetId", *target}}) : std::nullopt;
    return window && window->contains("windowId") ? std::optional((*window)["windowId"].get<std::int64_t>())
                                                  : std::nullopt;
  }
  std::map<std::string, std::string> environment() const {
    return {{"HOME", w.home.path().string()},
            {"VELVIX_HOME", w.home.path().string()},
            {"VELVIX_BUILD_DIR", VELVIX_BINARY_DIR}};
  }

  // What the application logged and tracked, for a failing test's message.
  std::string diagnostics() {
    std::string text = "\ndebug log:\n";
    for (const auto& line : w.debugLines()) text += "  " + line + "\n";
    text += "inventory:\n";
    for (const auto& item : w.services().mru->entries())
      text += "  " + item.id + " " + item.url.value_or("") + " win " + item.windowID.value_or("-") + " at " +
              std::to_string(item.tabIndex.value_or(-1)) + "\n";
    return text;
  }

  test::AppWorld w;
  test::LoopbackHttpServer pages;
};

TEST_F(RealChromiumScenario, ARealChromiumStandsInTheDesktopAndItsPagesAreChosenClosedAndMoved) {
  if (!test::HeadlessChromium::isInstalled())
    GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
  const fs::path userData = w.home.path() / "Library" / "Application Support" / "Chromium";
  ASSERT_TRUE(
      fs::exists(userData / ChromeHostInstaller::kHostFolderName / ChromeHostInstaller::kManifestFileName));
  for (const char* name : {"one", "two", "three"}) pages.serve(std::string("/") + name, pageHTML(name));
  EXPECT_FALSE(standIn());

  test::HeadlessChromium chromium(std::string(VELVIX_SOURCE_DIR) + "/scripts/chromium", userData,
                                  environment());
  ASSERT_TRUE(chromium.debuggingPort()) << chromium.output();
  // Connected through the relay, chromium is a running application of the desktop.
  ASSERT_TRUE(waitFor([&] { return standIn().has_value(); })) << chromium.output() << diagnostics();
  ASSERT_TRUE(chromium.openTab(pages.url("/one")));
  ASSERT_TRUE(chromium.openTab(pages.url("/two")));
  ASSERT_TRUE(chromium.devtools("Target.createTarget", {{"url", pages.url("/three")}, {"newWindow", true}}));
  for (const char* name : {"one", "two", "three"})
    ASSERT_TRUE(waitFor([&] {
      auto tab = tabAt(pages.url(std::string("/") + name));
      return tab && tab->title == std::string("Page ") + name;
    })) << name
        << diagnostics();
  // One simulated window per chromium window, titled by the page it shows.
  auto titles = [&] {
    std::vector<std::string> all;
    for (auto number : w.desktop.windowsOf(*standIn()))
      all.push_back(w.desktop.window(number)->title.value_or(""));
    std::sort(all.begin(), all.end());
    return all;
  };
  EXPECT_TRUE(waitFor([&] {
    return titles() == std::vector<std::string>{"Page three", "Page two"};
  })) << testing::PrintToString(titles())
      << diagnostics();

  // The chord chooses "one"; chromium shows it, and the desktop has chromium in front. The window
  // onto the desktop keeps the keyboard, so the next chord reaches the switcher, not chromium.
  struct KeyboardKeeper : platform::ScreenPlacement {
    Point toDisplay(Point simulated) const override { return simulated; }
    void keepKeyboard(double seconds) override { kept.push_back(seconds); }
    std::vector<double> kept;
  } keeper;
  w.services().placement = &keeper;
  std::size_t asked = pages.requests().size();
  ASSERT_TRUE(chooseInSwitcher(pages.url("/one"))) << diagnostics();
  EXPECT_TRUE(waitFor([&] { return pageSeen("/seen/one/visible", asked); }))
      << "chromium never showed it" << diagnostics();
  EXPECT_EQ(w.frontmostPid(), standIn());
  EXPECT_FALSE(keeper.kept.empty());
  for (double seconds : keeper.kept) EXPECT_EQ(seconds, RealChromiumMirror::kKeyboardKeptFor);
  w.services().placement = nullptr;

  // W on "one" closes it in chromium, and chromium's report takes it out of the inventory.
  ASSERT_TRUE(chooseInSwitcher(pages.url("/one"), platform::KeyCode::kW)) << diagnostics();
  EXPECT_TRUE(waitFor([&] {
    const auto urls = chromium.pageURLs();
    return urls && std::find(urls->begin(), urls->end(), pages.url("/one")) == urls->end();
  })) << "the tab is still open in chromium"
      << diagnostics();
  EXPECT_TRUE(waitFor([&] { return !tabAt(pages.url("/one")); }));

  // "two" dragged onto "three" moves into the other window; the extension's report confirms it.
  bool acrossConfirmed = false;
  ASSERT_TRUE(w.services().tabMover->move(*tabAt(pages.url("/two")), *tabAt(pages.url("/three")),
                                          [&] { acrossConfirmed = true; }));
  EXPECT_TRUE(waitFor([&] { return acrossConfirmed; })) << diagnostics();
  EXPECT_EQ(windowOfPage(chromium, pages.url("/two")), windowOfPage(chromium, pages.url("/three")));
  // Now "three" (first) dragged onto "two" (second) within that window takes its place.
  ASSERT_TRUE(waitFor([&] { return tabAt(pages.url("/two"))->tabIndex == 1; })) << diagnostics();
  bool withinConfirmed = false;
  ASSERT_TRUE(w.services().tabMover->move(*tabAt(pages.url("/three")), *tabAt(pages.url("/two")),
                                          [&] { withinConfirmed = true; }));
  EXPECT_TRUE(waitFor([&] { return withinConfirmed; })) << diagnostics();
  EXPECT_EQ(tabAt(pages.url("/three"))->tabIndex, 1) << diagnostics();

  // A sync the application asks for arrives.
  const auto syncs = logCount("sync chromium:");
  w.services().browserBridge->requestChromiumSync(Browser::chromium);
  EXPECT_TRUE(waitFor([&] { return logCount("sync chromium:") > syncs; })) << diagnostics();

  // One relay, one connection, for the whole run.
  const auto relay = relays();
  ASSERT_EQ(relay.size(), 1u);
  EXPECT_EQ(logCount("rejecting socket peer"), 0u) << diagnostics();
  EXPECT_EQ(w.services().browserBridge->clients(Browser::chromium).size(), 1u);

  // The relay killed under it: chromium still runs, so its stand-in and tabs stay, and the
  // extension's one retry brings back one relay.
  const auto before = standIn();
  ::kill(relay.front(), SIGKILL);
  EXPECT_TRUE(waitFor([&] {
    const auto now = relays();
    return now.size() == 1 && now.front() != relay.front() &&
           w.services().browserBridge->clients(Browser::chromium).size() == 1;
  })) << diagnostics();
  EXPECT_EQ(standIn(), before);
  EXPECT_TRUE(tabAt(pages.url("/two")));
  EXPECT_EQ(relays().size(), 1u);

  // Chromium quits: its stand-in and its tabs go with it; the application runs on.
  chromium.quit();
  EXPECT_TRUE(waitFor([&] { return !standIn(); })) << diagnostics();
  EXPECT_FALSE(tabAt(pages.url("/two")));
  EXPECT_FALSE(w.app->hasTerminated());
}

// A report too large for the relay, a command that fails and a tab that leaves its window, as
// a person's browser makes them: the one connection carries on, and every report arrives.
TEST_F(RealChromiumScenario, HugeAddressesAFailedCommandAndADetachedTabKeepTheInventoryRight) {
  if (!test::HeadlessChromium::isInstalled())
    GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
  const fs::path userData = w.home.path() / "Library" / "Application Support" / "Chromium";
  for (const char* name : {"p1", "p2", "p3", "q"}) pages.serve(std::string("/") + name, pageHTML(name));
  test::HeadlessChromium chromium(std::string(VELVIX_SOURCE_DIR) + "/scripts/chromium", userData,
                                  environment());
  ASSERT_TRUE(chromium.debuggingPort()) << chromium.output();
  ASSERT_TRUE(waitFor([&] { return standIn().has_value(); })) << chromium.output() << diagnostics();
  for (const char* name : {"p1", "p2", "p3"}) {
    ASSERT_TRUE(chromium.openTab(pages.url(std::string("/") + name)));
    ASSERT_TRUE(waitFor([&] { return tabAt(pages.url(std::string("/") + name)).has_value(); }))
        << diagnostics();
  }
  ASSERT_TRUE(chromium.devtools("Target.createTarget", {{"url", pages.url("/q")}, {"newWindow", true}}));
  const auto syncs = logCount("sync chromium:");
  ASSERT_TRUE(waitFor([&] { return tabAt(pages.url("/q")) && logCount("sync chromium:") > syncs; }))
      << diagnostics();
  const auto relay = relays();
  ASSERT_EQ(relay.size(), 1u);
  auto client = [&] { return w.services().browserBridge->clients(Browser::chromium).front(); };

  // p1 moves into q's window: p2 and p3 each move one place left in the window p1 left.
  const auto p1 = *tabAt(pages.url("/p1")), p2 = *tabAt(pages.url("/p2")), p3 = *tabAt(pages.url("/p3"));
  ASSERT_TRUE(p1.windowID == p2.windowID && p2.windowID == p3.windowID && p1.tabIndex < p2.tabIndex)
      << diagnostics();
  ASSERT_TRUE(client()->sendLine(R"({"cmd":"move","tabId":)" + std::to_string(*p1.tabID) +
                                 R"(,"targetTabId":)" + std::to_string(*tabAt(pages.url("/q"))->tabID) +
                                 "}"));
  EXPECT_TRUE(waitFor([&] {
    return tabAt(pages.url("/p2"))->tabIndex == *p2.tabIndex - 1 &&
           tabAt(pages.url("/p3"))->tabIndex == *p3.tabIndex - 1;
  })) << diagnostics();

  // An activate the browser cannot carry out is reported, not swallowed.
  ASSERT_TRUE(client()->sendLine(R"({"cmd":"activate","tabId":987654321,"windowId":1})"));
  EXPECT_TRUE(waitFor([&] { return logCount("safari cmd result: activate ok=false error=") >= 1; }))
      << diagnostics();

  // Three pages whose addresses together pass the relay's limit: their shortened addresses and
  // their titles arrive, and the syncs after them too, over the same relay.
  std::string huge;
  for (int n = 1; n <= 3; ++n) {
    huge = "data:text/html,<title>Big " + std::to_string(n) + "</title>" + std::string(1600 * 1024, 'x');
    ASSERT_TRUE(chromium.devtools("Target.createTarget", {{"url", huge}}));
  }
  auto big = [&] {
    for (const auto& item : w.services().mru->entries())
      if (item.title == "Big 3") return item.url;
    return std::optional<std::string>();
  };
  ASSERT_TRUE(waitFor([&] { return big().has_value(); })) << diagnostics();
  EXPECT_TRUE(big()->size() == 8192 && huge.starts_with(*big()));
  const auto before = logCount("sync chromium:");
  w.services().browserBridge->requestChromiumSync(Browser::chromium);
  EXPECT_TRUE(waitFor([&] { return logCount("sync chromium:") > before; })) << diagnostics();
  EXPECT_EQ(relays(), relay);
}

// With the application not taking the relay's connection, the extension waits longer and longer
// before it starts the relay again, instead of starting one every two seconds for as long as the
// browser runs.
TEST_F(RealChromiumScenario, AnExtensionWhoseHostWillNotStayTriesAgainLessAndLessOften) {
  if (!test::HeadlessChromium::isInstalled())
    GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
  const fs::path userData = w.home.path() / "Library" / "Application Support" / "Chromium";
  // The application's socket replaced by one that drops every connection at once.
  const std::string socket = hostchannel::socketPath(w.home.path().string());
  fs::remove(socket);
  test::TestSocket dropping = test::TestSocket::listenAt(socket);
  ASSERT_TRUE(dropping.isOpen());
  test::HeadlessChromium chromium(std::string(VELVIX_SOURCE_DIR) + "/scripts/chromium", userData,
                                  environment());
  std::vector<std::chrono::steady_clock::time_point> attempts;
  for (int i = 0; i < 3; ++i) {
    test::TestSocket relay = dropping.acceptOne(std::chrono::seconds(30));
    ASSERT_TRUE(relay.isOpen()) << "attempt " << i << chromium.output();
    attempts.push_back(std::chrono::steady_clock::now());
  }
  // The first retry comes after two seconds; the next waits twice as long.
  EXPECT_GE(attempts[2] - attempts[1], std::chrono::milliseconds(3500));
}

// A relay that no browser started is refused, and no Chromium stands in for it.
TEST_F(RealChromiumScenario, ARelayThatNoBrowserStartedIsRefused) {
  const fs::path relay = SupportFolder::path(w.home.path()) / ChromeHostInstaller::kRelayName;
  ASSERT_TRUE(fs::exists(relay));
  test::ChildProcess impostor(relay.string(), {}, environment());
  ASSERT_TRUE(
      impostor.write(nativeframing::frame(R"({"browser":"chromium","event":"hello","session":"x1"})")));
  const std::string refusal =
      "rejecting socket peer pid=" + std::to_string(impostor.pid()) + ": not a Chromium relay";
  EXPECT_TRUE(waitFor([&] {
    const auto lines = w.debugLines();
    return std::find(lines.begin(), lines.end(), refusal) != lines.end();
  }));
  EXPECT_FALSE(w.services().browserBridge->isChromiumConnected(Browser::chromium));
  EXPECT_FALSE(standIn());
}

}  // namespace
}  // namespace velvix
