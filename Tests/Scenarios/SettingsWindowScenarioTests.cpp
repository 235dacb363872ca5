// Where the application opens its settings window by itself: when it is made frontmost with no
// window of its own showing, and when it is opened again while its event tap runs.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace velvix
