#include <algorithm>

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

// The simulated browser runs the extension it loaded, with the socket still admitting only real
// relays: the set-up ends on its success card, the browser's tabs come from the extension and
// its commands reach the browser, loading it again leaves one connection, and the browser's quit
// ends it.
TEST(ChromeSetupScenario, AConfirmedLoadConnectsTheSimulatedBrowsersExtensionAndTheSetUpSucceeds) {
  test::ChromeSetupWorld r;
  r.page.onLoadUnpacked = nullptr;  // the program's own simulated browser, not the test's stand-in
  r.w.realSocketPeers = true;
  r.w.launch();

  ChromeSetupPresenter& presenter = *r.w.services().chromeSetup;
  presenter.start();
  for (int i = 0; i < 4000 && presenter.isRunning(); ++i) r.w.pause(0.02);
  EXPECT_EQ(presenter.phase(), ChromeSetupPhase::done());
  BrowserBridge& bridge = *r.w.services().browserBridge;
  EXPECT_TRUE(bridge.isChromiumConnected(Browser::chrome));

  const platform::Pid chrome = *r.page.browser();
  const std::int64_t window = r.w.desktop.addWindow(chrome, {.title = "Docs"});
  r.w.desktop.addTab(window, {.title = "Docs", .url = "https://docs.example.org/"});
  r.w.desktop.addTab(window, {.title = "Board", .url = "https://board.example.org/"});
  for (int i = 0; i < 100 && !hasExtensionTab(r.w, "https://board.example.org/"); ++i) r.w.pause(0.1);
  EXPECT_TRUE(hasExtensionTab(r.w, "https://board.example.org/"));
  // A tab the user turns to in the browser is reported; one picked in the switcher is shown.
  r.w.desktop.activateTab(window, 0);
  for (int i = 0; i < 100 && !hasExtensionTab(r.w, "https://docs.example.org/"); ++i) r.w.pause(0.1);
  EXPECT_TRUE(hasExtensionTab(r.w, "https://docs.example.org/"));
  const auto& items = r.w.services().mru->entries();
  const auto board = std::find_if(items.begin(), items.end(), [](const SwitchableItem& item) {
    return item.url == "https://board.example.org/";
  });
  ASSERT_NE(board, items.end());
  EXPECT_TRUE(bridge.sendActivate(*board));
  for (int i = 0; i < 100 && r.w.desktop.window(window)->activeTab != 1; ++i) r.w.pause(0.1);
  EXPECT_EQ(r.w.desktop.window(window)->activeTab, 1u);

  // A second set-up loads the extension again: the browser runs one copy, not two.
  presenter.start();
  for (int i = 0; i < 4000 && presenter.isRunning(); ++i) r.w.pause(0.02);
  EXPECT_EQ(presenter.phase(), ChromeSetupPhase::done());
  for (int i = 0; i < 100 && bridge.clients(Browser::chrome).size() > 1; ++i) r.w.pause(0.1);
  EXPECT_EQ(bridge.clients(Browser::chrome).size(), 1u);

  r.w.desktop.terminate(chrome);
  for (int i = 0; i < 100 && bridge.isChromiumConnected(Browser::chrome); ++i) r.w.pause(0.1);
  EXPECT_FALSE(bridge.isChromiumConnected(Browser::chrome));
}

}  // namespace
}  // namespace velvix
