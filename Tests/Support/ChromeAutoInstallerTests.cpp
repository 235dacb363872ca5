// The automatic loading of the extension into a simulated Chromium: the browser chosen, started
// and woken, its extensions page and file panel driven through Accessibility and marked keys
// under the input lock, and every way a run ends, each ending exactly once.

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <unistd.h>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Input/EventTap.hpp"
#include "Platform/Linux/FolderResources.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Platform/Simulated/SimExtensionsPage.hpp"
#include "Platform/Simulated/SimKeyboardLayout.hpp"
#include "Platform/Simulated/SimPasteboard.hpp"
#include "Platform/Simulated/SimURLOpener.hpp"
#include "Support/ChromeAutoInstaller.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/ChromeSetupWorld.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/TestSocket.hpp"
#include "UI/ChromeSetupPresenter.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"

namespace velvix {
namespace {

using Outcome = ChromeAutoInstaller::Outcome;
namespace fs = std::filesystem;

using Rig = test::ChromeSetupWorld;

TEST(ChromeAutoInstaller, LoadsTheExtensionTheWayAPersonWouldAndEndsConnected) {
  Rig r;
  EXPECT_EQ(r.run(), std::vector<Outcome>{Outcome::connected(Browser::chrome)});
  // The browser was started, its page driven, the exported folder chosen in its panel.
  ASSERT_TRUE(r.page.browser());
  EXPECT_EQ(r.w.desktop.app(*r.page.browser())->bundleID, "com.google.Chrome");
  EXPECT_TRUE(r.page.developerMode);
  EXPECT_EQ(r.page.loadedFolders, std::vector<std::string>{r.exported().string()});
  EXPECT_TRUE(fs::exists(r.exported() / "manifest.json"));
  EXPECT_EQ(r.w.desktop.pasteboard().string(), r.exported().string());
  EXPECT_TRUE(fs::exists(r.w.home.path() / "Library/Application Support/Google/Chrome/NativeMessagingHosts" /
                         ChromeHostInstaller::kManifestFileName));
  // The user's input is theirs again.
  EXPECT_FALSE(r.w.app->delegate().eventTap()->isInputLocked());
  for (const char* line : {"targeting Google Chrome", "a11y tree ready", "toggled Developer mode on",
                           "pressed Load unpacked", "file panel is up", "panel fill confirmed"})
    EXPECT_TRUE(r.logged(line)) << line;
}

// The extensions page is one window of the browser: after the set-up its other windows are still
// found and raised through Accessibility.
TEST(ChromeAutoInstaller, TheBrowsersWindowsAreStillFoundThroughAccessibilityAfterTheSetUp) {
  Rig r;
  ASSERT_EQ(r.run(), std::vector<Outcome>{Outcome::connected(Browser::chrome)});
  const platform::Pid chrome = *r.page.browser();
  const auto docs = r.w.desktop.addWindow(chrome, {.title = "Docs"});
  r.w.desktop.addWindow(chrome, {.title = "Mail"});
  AXWindowBridge& ax = *r.w.services().ax;
  EXPECT_EQ(ax.windowTitlesByNumber(chrome).count(docs), 1u);
  EXPECT_EQ(ax.raiseWindow(docs, "Docs", chrome), AXWindowBridge::RaiseOutcome::raised);
  EXPECT_EQ(r.w.frontWindowTitle(), "Docs");
}

TEST(ChromeAutoInstaller, WorksWithAnotherKeyboardLayoutARefusedFieldAndAnOpenButton) {
  Rig r;
  r.w.desktop.keyboardLayout().useDvorak();  // g and r sit on other keys
  r.page.fieldRefusesValue = true;           // the path is typed instead
  r.page.confirmTitle = "Open";
  r.page.developerMode = true;
  EXPECT_EQ(r.run(), std::vector<Outcome>{Outcome::connected(Browser::chrome)});
  EXPECT_EQ(r.page.loadedFolders, std::vector<std::string>{r.exported().string()});
  EXPECT_TRUE(r.logged("Developer mode already on"));
  EXPECT_TRUE(r.logged("AX set failed (1); typing instead"));
}

TEST(ChromeAutoInstaller, ChoosesTheDefaultBrowserWhenItIsAnInstalledChromium) {
  Rig r;
  r.w.desktop.install(
      {.bundleID = "com.brave.Browser", .name = "Brave Browser", .path = "/Applications/Brave Browser.app"});
  r.w.desktop.install({.bundleID = "com.apple.Safari", .name = "Safari", .path = "/Applications/Safari.app"});
  r.w.launch();
  EXPECT_EQ(r.installer().installedChromiums(), (std::vector<Browser>{Browser::chrome, Browser::brave}));
  r.w.desktop.urlOpener().defaultBrowser = "com.brave.Browser";
  EXPECT_EQ(r.installer().installedChromium(), Browser::brave);
  r.w.desktop.urlOpener().defaultBrowser = "com.apple.Safari";
  EXPECT_EQ(r.installer().installedChromium(), Browser::chrome);
}

TEST(ChromeAutoInstaller, EveryStopEndsOnceWithItsStepText) {
  struct Case {
    std::string name;
    std::function<void(Rig&)> shape;
    Outcome expected;
  };
  const std::vector<Case> cases{
      {"no Accessibility", [](Rig& r) { r.w.desktop.accessibilityTrusted = false; },
       Outcome::manual(Browser::chrome, ChromeAutoInstaller::kStepAccessibility, false)},
      {"no extension in the application", [](Rig& r) { r.w.options.resources = r.relayOnly.path(); },
       Outcome::manual(Browser::chrome, ChromeAutoInstaller::kStepCopy, false)},
      {"extensions page does not open", [](Rig& r) { r.w.desktop.urlOpener().opensFail = true; },
       Outcome::manual(Browser::chrome, ChromeAutoInstaller::kStepExtensionsPage)},
      {"no Load unpacked", [](Rig& r) { r.page.hasLoadUnpacked = false; },
       Outcome::manual(Browser::chrome, ChromeAutoInstaller::kStepLoadUnpacked)},
      {"a tree too large to search", [](Rig& r) { r.page.elementsAhead = 6100; },
       Outcome::manual(Browser::chrome, ChromeAutoInstaller::kStepLoadUnpacked)},
      {"no go-to-folder field", [](Rig& r) { r.page.hasGoToField = false; },
       Outcome::manual(Browser::chrome, ChromeAutoInstaller::kStepFolder)},
      {"the extension never connects", [](Rig& r) { r.extensionConnects = false; },
       Outcome::manual(Browser::chrome, ChromeAutoInstaller::kStepConfirm)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    c.shape(r);
    EXPECT_EQ(r.run(), std::vector<Outcome>{c.expected});
    if (c.name == "no Accessibility") {
      EXPECT_FALSE(fs::exists(r.exported()));  // refused before the extension was copied out
    }
    if (!c.expected.folderOnClipboard) {
      EXPECT_EQ(r.w.desktop.pasteboard().string(), std::nullopt);
    }
    if (c.name == "no Load unpacked") {
      EXPECT_EQ(r.page.reloads(), 1);  // reloaded once, then gave up
    }
  }
}

TEST(ChromeAutoInstaller, NoChromiumBrowserEndsWithoutInstallingAnything) {
  test::AppWorld w;
  w.launch();
  std::vector<Outcome> ended;
  w.services().chromeSetup->installer().run(w.app->delegate().eventTap(),
                                            [&](const Outcome& o) { ended.push_back(o); });
  w.pause(5);
  EXPECT_EQ(ended, std::vector<Outcome>{Outcome::noBrowser()});
  EXPECT_FALSE(fs::exists(SupportFolder::path(w.home.path()) / "ChromeExtension"));
}

TEST(ChromeAutoInstaller, EscapeDuringTheInputLockCancelsTheRunAndGivesTheKeyboardBack) {
  Rig r;
  r.page.hasGoToField = false;  // the run waits for the field with the input locked
  r.w.launch();
  EventTap& tap = *r.w.app->delegate().eventTap();
  r.installer().run(&tap, [&r](const Outcome& outcome) { r.outcomes.push_back(outcome); });
  for (int i = 0; i < 400 && !tap.isInputLocked(); ++i) r.w.pause(0.1);
  ASSERT_TRUE(tap.isInputLocked());
  r.w.desktop.input().press(platform::KeyCode::kEscape);
  r.w.pause(30);
  EXPECT_EQ(r.outcomes, std::vector<Outcome>{Outcome::cancelled()});
  EXPECT_FALSE(tap.isInputLocked());
  EXPECT_FALSE(r.page.panelOpen());  // the run's own Escape closed it
}

TEST(ChromeAutoInstaller, EscapeWhileTheConfirmButtonIsSoughtLoadsNothing) {
  Rig r;
  r.page.hasConfirmButton = false;  // the run looks for it for its whole budget, then presses Return
  r.w.launch();
  EventTap& tap = *r.w.app->delegate().eventTap();
  r.installer().run(&tap, [&r](const Outcome& outcome) { r.outcomes.push_back(outcome); });
  for (int i = 0; i < 400 && r.page.goToText().empty(); ++i) r.w.pause(0.1);
  ASSERT_FALSE(r.page.goToText().empty());
  r.w.pause(ChromeAutoInstaller::kFillSettle + 0.5);  // into the search for the button
  ASSERT_TRUE(tap.isInputLocked());
  r.w.desktop.input().press(platform::KeyCode::kEscape);
  r.w.pause(30);
  EXPECT_EQ(r.outcomes, std::vector<Outcome>{Outcome::cancelled()});
  EXPECT_TRUE(r.page.loadedFolders.empty());
  EXPECT_FALSE(r.page.panelOpen());
}

}  // namespace
}  // namespace velvix
