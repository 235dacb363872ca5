#include <algorithm>
#include <chrono>
#include <functional>

#include <gtest/gtest.h>

#include "Bridge/BrowserBridge.hpp"
#include "Core/MRUManager.hpp"
#include "TestSupport/ChromeSetupWorld.hpp"
#include "UI/ChromeSetupPresenter.hpp"

namespace velvix {
namespace {

bool hasExtensionTab(test::AppWorld& w, const std::string& url) {
  const auto& items = w.services().mru->entries();
  return std::any_of(items.begin(), items.end(), [&](const SwitchableItem& item) {
    return item.url == url && item.source == TabSource::webExtension;
  });
}

// Virtual time for the simulated browser's ticks, real time for the socket's own thread.
bool eventually(test::AppWorld& w, const std::function<bool()>& done) {
  for (int i = 0; i < 40; ++i) {
    w.pause(0.25);
    if (w.loop.runUntil(done, std::chrono::milliseconds(250))) return true;
  }
  return false;
}

// The simulated browser runs the extension it loaded, with the socket still admitting only real
// relays: the set-up ends on its success card, the browser's tabs come from the extension and
// its commands reach the browser, F2 then says the extension is connected, loading it again
// leaves one connection, and the browser's quit ends it.
TEST(ChromeSetupScenario, AConfirmedLoadConnectsTheSimulatedBrowsersExtensionAndTheSetUpSucceeds) {
  test::ChromeSetupWorld r;
  r.page.onLoadUnpacked = nullptr;  // the program's own simulated browser, not the test's stand-in
  r.w.realSocketPeers = true;
  r.w.launch();
  BrowserBridge& bridge = *r.w.services().browserBridge;
  // The program's own hook, then a bounded wait for its connection to reach the bridge's thread.
  r.page.onLoadUnpacked = [&, programs = r.page.onLoadUnpacked](const std::string& folder) {
    if (programs) programs(folder);
    r.w.loop.runUntil([&] { return bridge.isChromiumConnected(Browser::chrome); });
  };

  ChromeSetupPresenter& presenter = *r.w.services().chromeSetup;
  presenter.start();
  for (int i = 0; i < 4000 && presenter.isRunning(); ++i) r.w.pause(0.02);
  EXPECT_EQ(presenter.phase(), ChromeSetupPhase::done());
  EXPECT_TRUE(bridge.isChromiumConnected(Browser::chrome));

  const platform::Pid chrome = *r.page.browser();
  const std::int64_t window = r.w.desktop.addWindow(chrome, {.title = "Docs"});
  r.w.desktop.addTab(window, {.title = "Docs", .url = "https://docs.example.org/"});
  r.w.desktop.addTab(window, {.title = "Board", .url = "https://board.example.org/"});
  eventually(r.w, [&] { return hasExtensionTab(r.w, "https://board.example.org/"); });
  EXPECT_TRUE(hasExtensionTab(r.w, "https://board.example.org/"));
  // A tab the user turns to in the browser is reported; one picked in the switcher is shown.
  r.w.desktop.activateTab(window, 0);
  eventually(r.w, [&] { return hasExtensionTab(r.w, "https://docs.example.org/"); });
  EXPECT_TRUE(hasExtensionTab(r.w, "https://docs.example.org/"));
  const auto& items = r.w.services().mru->entries();
  const auto board = std::find_if(items.begin(), items.end(), [](const SwitchableItem& item) {
    return item.url == "https://board.example.org/";
  });
  ASSERT_NE(board, items.end());
  EXPECT_TRUE(bridge.sendActivate(*board));
  eventually(r.w, [&] { return r.w.desktop.window(window)->activeTab == 1; });
  EXPECT_EQ(r.w.desktop.window(window)->activeTab, 1u);

  // F2 again says so instead of loading a second copy, and the card closes itself.
  presenter.start();
  for (int i = 0; i < 4000 && presenter.isRunning(); ++i) r.w.pause(0.02);
  EXPECT_EQ(presenter.phase().message(), "The extension is already connected in Google Chrome.");
  EXPECT_EQ(bridge.clients(Browser::chrome).size(), 1u);
  r.w.pause(2);
  EXPECT_FALSE(presenter.isCardShown());
  // Loaded again by hand, the browser runs one copy, not two.
  const auto first = bridge.clients(Browser::chrome).front();
  r.page.open(chrome);
  r.page.onLoadUnpacked("");
  EXPECT_TRUE(eventually(r.w, [&] {
    const auto clients = bridge.clients(Browser::chrome);
    return clients.size() == 1 && clients.front() != first;
  }));

  r.w.desktop.terminate(chrome);
  eventually(r.w, [&] { return !bridge.isChromiumConnected(Browser::chrome); });
  EXPECT_FALSE(bridge.isChromiumConnected(Browser::chrome));
}

}  // namespace
}  // namespace velvix
