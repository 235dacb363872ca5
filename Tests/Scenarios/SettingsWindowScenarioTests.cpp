// Where the application opens its settings window by itself: when it is made frontmost with no
// window of its own showing, and when it is opened again while its event tap runs.

#include <gtest/gtest.h>

#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "TestSupport/AppWorld.hpp"
#include "UI/SettingsView.hpp"
#include "UI/SettingsWindowController.hpp"

namespace velvix {
namespace {

TEST(SettingsWindowScenario, BecomingActiveWithoutAWindowAndReopeningOpenTheSettingsWindow) {
  test::AppWorld w;
  const platform::Pid notes = w.launchApp("com.example.notes", "Notes", {"Ideas"});
  w.launch();
  w.pause(0.5);
  SettingsWindowController& settings = *w.services().settingsWindow;
  EXPECT_EQ(settings.window(), nullptr);

  // The user leaves Velvix for Notes, then comes back to it.
  w.desktop.activate(w.desktop.selfPid());
  w.desktop.activate(notes);
  w.pause(0.1);
  EXPECT_EQ(settings.window(), nullptr);
  w.desktop.activate(w.desktop.selfPid());
  w.pause(0.1);
  ASSERT_NE(settings.window(), nullptr);
  EXPECT_TRUE(settings.isShownOnDisplay());
  EXPECT_EQ(w.frontWindowTitle(), "Velvix Settings");
  EXPECT_EQ(settings.view()->tab(), SettingsTab::appearance);

  // Closed, then opened again from the file manager: back, fresh.
  settings.windowWillClose();
  w.pause(0.1);
  EXPECT_EQ(settings.window(), nullptr);
  EXPECT_TRUE(w.app->delegate().applicationShouldHandleReopen(false));
  ASSERT_NE(settings.window(), nullptr);
  EXPECT_TRUE(settings.isShownOnDisplay());
}

// About and Check for Updates bring Velvix to the front with a panel of its own: coming back that
// way must not open the settings window beside it.
TEST(SettingsWindowScenario, AboutAndUpdatesFromTheStatusMenuOpenOnlyTheirOwnPanel) {
  test::AppWorld w;
  const platform::Pid notes = w.launchApp("com.example.notes", "Notes", {"Ideas"});
  w.launch();
  w.pause(0.5);
  for (const char* item : {"About Velvix", "Check for Updates\u2026"}) {
    SCOPED_TRACE(item);
    w.desktop.activate(w.desktop.selfPid());
    w.desktop.activate(notes);
    w.pause(0.1);
    ASSERT_TRUE(w.app->menuBar().chooseStatusItem(item));
    w.pause(0.5);
    EXPECT_TRUE(w.desktop.application().isActive());
    EXPECT_EQ(w.services().settingsWindow->window(), nullptr);
  }
  EXPECT_TRUE(w.desktop.application().aboutPanel());
  EXPECT_TRUE(w.desktop.application().panel("Software Update"));
}

}  // namespace
}  // namespace velvix
