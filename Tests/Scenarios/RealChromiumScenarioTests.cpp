// The whole chain against a real browser: the application writes its host manifest and exports
// its extension; Debian's chromium, headless, loads that extension, starts the relay through the
// manifest and reports its tabs over the real socket; activating and closing a tab from the
// application switches to it and closes it in Chromium itself.

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "Bridge/BrowserBridge.hpp"
#include "Core/Activator.hpp"
#include "Core/Closer.hpp"
#include "Core/MRUManager.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/HeadlessChromium.hpp"
#include "TestSupport/LoopbackHttpServer.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;

// A page that tells the test server, from inside the browser, whenever it is shown or hidden.
std::string pageHTML(const std::string& name) {
  return "<!doctype html><title>Page " + name + "</title><script>function tell(){fetch('/seen/" + name +
         "/'+document.visibilityState)}document.addEventListener('visibilitychange',tell);tell();</script>";
}

class RealChromiumScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    w.desktop.install(
        {.bundleID = "org.chromium.Chromium", .name = "Chromium", .path = "/Applications/Chromium.app"});
    chromiumPid = w.launchApp("org.chromium.Chromium", "Chromium", {"Chromium"});
    w.launch();
    ASSERT_TRUE(w.services().bridge->isListening());
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
    for (const auto& item : w.services().mru->items)
      if (item.kind == ItemKind::tab && item.browser == Browser::chromium && item.url == url) return item;
    return std::nullopt;
  }

  fs::path applicationSupport() const { return w.home.path() / "Library" / "Application Support"; }
  std::map<std::string, std::string> environment() const {
    return {{"HOME", w.home.path().string()}, {"VELVIX_HOME", w.home.path().string()}};
  }

  // What the application logged and tracked, for a failing test's message.
  std::string diagnostics() {
    std::string text = "\ndebug log:\n";
    for (const auto& line : w.debugLines()) text += "  " + line + "\n";
    text += "inventory:\n";
    for (const auto& item : w.services().mru->items)
      text += "  " + item.id + " " + item.url.value_or("") + "\n";
    return text;
  }

  test::AppWorld w;
  platform::Pid chromiumPid = 0;
};

TEST_F(RealChromiumScenario, TabsAreTrackedAndSwitchedToAndClosedInChromiumItself) {
  if (!test::HeadlessChromium::isInstalled())
    GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
  // Chromium reads per-user host manifests from "NativeMessagingHosts" in its user-data folder.
  const fs::path userData = applicationSupport() / "Chromium";
  ASSERT_TRUE(fs::exists(userData / "NativeMessagingHosts" / ChromeHostInstaller::kManifestFileName));
  const auto extension = w.services().hostInstaller->exportExtension();
  ASSERT_TRUE(extension);

  test::LoopbackHttpServer pages;
  for (const char* name : {"one", "two", "three"}) pages.serve(std::string("/") + name, pageHTML(name));
  test::HeadlessChromium chromium(userData, *extension, pages.url("/one"), environment());
  ASSERT_TRUE(chromium.debuggingPort()) << chromium.output();

  // The extension's reports come through the relay Chromium started, and the peer check knows
  // that relay's parent as the browser "chromium". Each page enters the inventory as it is shown.
  ASSERT_TRUE(waitFor([&] { return tabAt(pages.url("/one")).has_value(); }))
      << chromium.output() << diagnostics();
  EXPECT_TRUE(w.services().bridge->isChromiumConnected(Browser::chromium));
  for (const char* page : {"/two", "/three"}) {
    ASSERT_TRUE(chromium.openTab(pages.url(page)));
    ASSERT_TRUE(waitFor([&] { return tabAt(pages.url(page)).has_value(); })) << page << diagnostics();
  }

  // "three" opened last and is in front; switching to "two" shows it in Chromium.
  const std::size_t asked = pages.requests().size();
  w.services().activator->activate({*tabAt(pages.url("/two"))}, 0);
  EXPECT_TRUE(waitFor([&] {
    const auto requests = pages.requests();
    return std::find(requests.begin() + static_cast<std::ptrdiff_t>(asked), requests.end(),
                     "/seen/two/visible") != requests.end();
  })) << "Chromium never showed the page"
      << diagnostics();
  EXPECT_EQ(w.frontmostPid(), chromiumPid);

  // Closing "three" closes it in Chromium, and its report takes it out of the inventory.
  w.services().closer->close(*tabAt(pages.url("/three")));
  EXPECT_TRUE(waitFor([&] {
    const auto urls = chromium.pageURLs();
    return urls && std::find(urls->begin(), urls->end(), pages.url("/three")) == urls->end();
  })) << "the tab is still open in Chromium"
      << diagnostics();
  EXPECT_TRUE(waitFor([&] { return !tabAt(pages.url("/three")); }));
  EXPECT_TRUE(tabAt(pages.url("/two")));

  // Asked for its tabs, the extension sends them all.
  auto syncs = [&] {
    const auto lines = w.debugLines();
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.starts_with("sync chromium:"); });
  };
  const auto before = syncs();
  w.services().bridge->requestChromiumSync(Browser::chromium);
  EXPECT_TRUE(waitFor([&] { return syncs() > before; })) << diagnostics();
}

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
  EXPECT_FALSE(w.services().bridge->isChromiumConnected(Browser::chromium));
}

}  // namespace
}  // namespace velvix
