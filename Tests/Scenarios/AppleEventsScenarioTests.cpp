// Launch over Apple Events: a browser whose Automation permission is granted has its tabs seeded
// by the literal scripts and one of them is switched to by a chord; a refused browser is left
// alone and logged.

#include <gtest/gtest.h>

#include "App/AppDelegate.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Preferences.hpp"
#include "Input/SwitcherController.hpp"
#include "TestSupport/AppWorld.hpp"

namespace velvix {
namespace {

using platform::EventFlag::kCommand;

TEST(AppleEventsScenario, AGrantedBrowsersTabsAreSeededAtLaunchAndOneIsSwitchedToByAChord) {
  test::AppWorld w;
  auto chrome = w.launchApp("com.google.Chrome", "Google Chrome", {"Mail", "Docs"});
  auto windows = w.desktop.windowsOf(chrome);  // front to back: Docs, Mail
  w.desktop.addTab(windows[1], {.title = "Mail", .url = "https://mail.example/"});
  w.desktop.addTab(windows[0], {.title = "Docs", .url = "https://docs.example/"});
  auto brave = w.launchApp("com.brave.Browser", "Brave Browser", {"News"});
  w.desktop.addTab(w.desktop.windowsOf(brave)[0], {.title = "News", .url = "https://news.example/"});
  w.desktop.privacy.automation["com.google.Chrome"] = platform::Privacy::kAutomationGranted;
  w.desktop.privacy.automation["com.brave.Browser"] = platform::Privacy::kAutomationDenied;
  w.desktop.activate(chrome);
  // The user answered the zsh question before; asking it now would bring Velvix to the front.
  w.beforeLaunch = [](Services& s) { s.preferences->terminalShellIntegrationAsked.set(true); };
  w.launch();
  w.pause(1);

  std::vector<std::string> tabURLs;
  for (const auto& e : w.services().mru->entries())
    if (e.kind == ItemKind::tab) tabURLs.push_back(e.url.value_or(""));
  EXPECT_EQ(tabURLs.size(), 2u);
  EXPECT_EQ(std::count(tabURLs.begin(), tabURLs.end(), "https://news.example/"), 0);
  auto lines = w.debugLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "launch: brave Automation status -1743; its tabs are not scripted"),
            lines.end());

  // Command held, Tab tapped until the Mail tab is selected, Command released.
  w.hold(kCommand);
  w.tab();
  auto* switcher = w.app->delegate().switcher();
  ASSERT_TRUE(switcher->session());
  const auto& list = *switcher->session();
  auto mail = std::find_if(list.begin(), list.end(), [](const SwitchableItem& e) {
    return e.kind == ItemKind::tab && e.url == "https://mail.example/";
  });
  ASSERT_NE(mail, list.end());
  for (auto i = switcher->index(); i < static_cast<std::size_t>(mail - list.begin()); ++i) w.tab();
  w.release();
  w.pause(1.5);
  EXPECT_EQ(w.frontmostPid(), chrome);
  EXPECT_EQ(w.desktop.stackingOrder().front(), windows[1]);
  EXPECT_EQ(w.desktop.window(windows[1])->tabs[w.desktop.window(windows[1])->activeTab].title, "Mail");
}

}  // namespace
}  // namespace velvix
