// The settings window's panes, driven as a person would: controls found by name, clicked and
// typed into through Qt, and checked by the stored setting, the "PreferencesChanged" it posts,
// and what the pane shows for the state of the permissions and the browser extensions.

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "Platform/Linux/JsonFileDefaults.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "TestSupport/SettingsCollaborators.hpp"
#include "TestSupport/TestWorld.hpp"
#include "TestSupport/UserFiles.hpp"
#include "UI/ControlsPane.hpp"
#include "UI/GeneralPane.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsRow.hpp"
#include "UI/SettingsStatusLabel.hpp"
#include "UI/SettingsStepper.hpp"
#include "UI/SettingsSwitch.hpp"
#include "UI/SettingsView.hpp"

namespace velvix {
namespace {

class SettingsPanesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
  void SetUp() override {
    world.services();
    counting = world.notifications().observe(Preferences::kChangedNotification,
                                             [this](const platform::Notification&) { ++changes; });
  }
  SettingsView& open(SettingsTab tab) {
    view = std::make_unique<SettingsView>(test::settingsCollaborators(world));
    view->selectTab(tab);
    view->show();
    return *view;
  }
  template <typename T>
  T* find(const char* name) {
    T* widget = view->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  bool shown(const char* name) { return find<QWidget>(name)->isVisibleTo(view.get()); }
  std::string status(const char* name) { return find<SettingsStatusLabel>(name)->text(); }
  void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  test::TestWorld world;
  std::unique_ptr<SettingsView> view;
  platform::NotificationCenter::Observation counting;
  int changes = 0;
};

TEST_F(SettingsPanesTest, ChoosingWindowPreviewsWithoutTheGrantAsksForItEveryTimeAndShowsTheGrantRow) {
  world.preferences().showThumbnails.set(false);
  world.desktop.privacy.screenCapture = false;
  open(SettingsTab::appearance);
  EXPECT_FALSE(shown("appearance.screenRecording"));  // icons: never
  changes = 0;
  click(find<QAbstractButton>("appearance.previews"));
  EXPECT_TRUE(world.preferences().showThumbnails.get());
  EXPECT_EQ(changes, 1);
  const std::string pane = std::string(PermissionsService::kPanePrefix) + "Privacy_ScreenCapture";
  EXPECT_EQ(std::count(world.desktop.openedURLs.begin(), world.desktop.openedURLs.end(), pane), 1);
  EXPECT_TRUE(shown("appearance.screenRecording"));
  click(find<QAbstractButton>("appearance.previews"));  // already chosen: stored again, nothing asked
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(std::count(world.desktop.openedURLs.begin(), world.desktop.openedURLs.end(), pane), 1);

  click(find<QAbstractButton>("appearance.icons"));  // off never opens System Settings
  EXPECT_EQ(std::count(world.desktop.openedURLs.begin(), world.desktop.openedURLs.end(), pane), 1);
  click(find<QAbstractButton>("appearance.previews"));  // on again: asked again
  EXPECT_GE(std::count(world.desktop.openedURLs.begin(), world.desktop.openedURLs.end(), pane), 2);

  // Granted: the row goes at the next tick, without reopening the window.
  world.desktop.privacy.screenCapture = true;
  world.loop.advance(SettingsView::kTickInterval);
  EXPECT_FALSE(shown("appearance.screenRecording"));
}

TEST_F(SettingsPanesTest, PickersListTheirCasesAndStoreTheChoiceOnce) {
  open(SettingsTab::appearance);
  auto* glass = find<QComboBox>("hudGlassStyle");
  EXPECT_EQ(glass->itemText(0), "Frosted Liquid Glass (Recommended)");
  EXPECT_EQ(glass->itemText(1), "Stylized Glass");
  EXPECT_EQ(glass->itemText(2), "Liquid Glass Slabs");
  world.preferences().hudSizePreset.set(HUDSizePreset::large);
  EXPECT_EQ(find<QComboBox>("hudSizePreset")->currentText(), "Large");

  view->selectTab(SettingsTab::controls);
  auto* chord = find<QComboBox>("hotkeyMode");
  changes = 0;
  emit chord->activated(1);
  EXPECT_EQ(world.preferences().hotkeyMode.get(), HotkeyMode::optionTab);
  EXPECT_EQ(world.defaults.string("hotkeyMode"), "optionTab");
  EXPECT_GE(changes, 1);
  EXPECT_EQ(chord->currentText(), "\u2325 Tab");
}

TEST_F(SettingsPanesTest, DockPreviewsAreLockedWhileTheSwitcherShowsIconsAndKeepTheirValue) {
  world.preferences().showThumbnails.set(false);
  world.preferences().dockPreviewsEnabled.set(true);
  open(SettingsTab::controls);
  auto* previews = find<SettingsSwitch>("dockPreviewsEnabled");
  EXPECT_FALSE(previews->isEnabled());
  EXPECT_TRUE(previews->isChecked());
  auto* row = qobject_cast<SettingsRow*>(previews->parentWidget());
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->detailLabel()->text().toStdString(), ControlsPane::kDockPreviewsOffDetail);
  click(previews);
  EXPECT_TRUE(world.preferences().dockPreviewsEnabled.get());
  world.preferences().showThumbnails.set(true);
  EXPECT_TRUE(previews->isEnabled());
  EXPECT_FALSE(row->detailLabel()->isVisible());

  changes = 0;
  click(find<SettingsSwitch>("micMuteHotkeyEnabled"));
  EXPECT_FALSE(world.preferences().micMuteHotkeyEnabled.get());
  EXPECT_EQ(changes, 1);
}

TEST_F(SettingsPanesTest, TerminalFeaturesDimAndLockWithTheMasterSwitchAndTheEditorRowNeedsAKeybindingsFile) {
  open(SettingsTab::terminal);
  EXPECT_FALSE(shown("terminal.vscodeRow"));
  click(find<SettingsSwitch>("terminalEditingKeysEnabled"));
  EXPECT_FALSE(world.preferences().terminalEditingKeysEnabled.get());
  auto* features = find<QWidget>("terminal.features");
  EXPECT_FALSE(features->isEnabled());
  // Its texts are drawn at half strength (the shapes and switches draw themselves so).
  for (auto* label : features->findChildren<QLabel*>())
    if (label->isVisibleTo(features)) {
      const QColor text = label->palette().color(QPalette::WindowText);
      EXPECT_LT(text.alphaF(), 0.51);
      EXPECT_GT(text.lightness(), 200);  // the same light text, dimmed
    }
  click(find<SettingsSwitch>("terminalCutEnabled"));
  EXPECT_TRUE(world.preferences().terminalCutEnabled.get());  // locked: unchanged

  std::filesystem::create_directories(world.home.path() / "Library/Application Support/Code/User");
  world.loop.advance(SettingsView::kTickInterval);
  EXPECT_TRUE(shown("terminal.vscodeRow"));
}

TEST_F(SettingsPanesTest, TheTerminalPaneSaysWhyItLeftTheUsersZshrcAlone) {
  const auto zshrc = world.home.path() / ".zshrc";
  test::writeFile(zshrc, "export A=1\n");
  std::filesystem::permissions(zshrc, std::filesystem::perms(0444));
  world.preferences().terminalShellIntegrationAllowed.set(true);
  world.terminalIntegration().reconcile();
  open(SettingsTab::terminal);
  auto* row = find<SettingsRow>("terminal.zshrcRow");
  EXPECT_TRUE(row->detailLabel()->isVisibleTo(view.get()));
  EXPECT_EQ(row->detailLabel()->text().toStdString(), "~/.zshrc is read-only, so Velvix left it as it is.");
}

TEST_F(SettingsPanesTest, TheTerminalFooterNamesTheInstalledTerminalsInTableOrder) {
  EXPECT_EQ(open(SettingsTab::terminal).terminalSupportSummary(), "Terminal");  // none found
  world.desktop.install(
      {.bundleID = "com.mitchellh.ghostty", .name = "Ghostty", .path = "/Applications/Ghostty.app"});
  world.desktop.install(
      {.bundleID = "com.apple.Terminal", .name = "Terminal", .path = "/System/Terminal.app"});
  world.desktop.install(
      {.bundleID = "com.googlecode.iterm2", .name = "iTerm2", .path = "/Applications/iTerm.app"});
  EXPECT_EQ(open(SettingsTab::terminal).terminalSupportSummary(), "Terminal, iTerm2, and Ghostty");
  bool footerNamesThem = false;
  for (auto* label : view->findChildren<QLabel*>())
    footerNamesThem =
        footerNamesThem || label->text().contains("editor: Terminal, iTerm2, and Ghostty. Cursor");
  EXPECT_TRUE(footerNamesThem);
}

TEST_F(SettingsPanesTest, TabLimitSteppersStopAtTheirBoundsAndStoreEachStep) {
  world.preferences().universalTabLimit.set(99);
  world.preferences().perWindowTabLimit.set(2);
  open(SettingsTab::general);
  auto* all = find<SettingsStepper>("universalTabLimit");
  auto* perWindow = find<SettingsStepper>("perWindowTabLimit");
  changes = 0;
  click(all->incrementButton());
  click(all->incrementButton());
  EXPECT_EQ(world.preferences().universalTabLimit.get(), 100);
  EXPECT_EQ(world.defaults.integer("universalTabLimit"), 100);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(all->incrementButton()->isEnabled());
  click(perWindow->decrementButton());
  click(perWindow->decrementButton());
  EXPECT_EQ(world.preferences().perWindowTabLimit.get(), 1);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(perWindow->value(), 1);
}

TEST_F(SettingsPanesTest, TheExclusionFieldStoresTheParsedListOnlyWhenItChangesAndKeepsWhatWasTyped) {
  open(SettingsTab::general);
  auto* field = find<QLineEdit>("excludedBundleIDs");
  EXPECT_EQ(field->text().toStdString(), view->state().excludedText);
  field->clear();
  changes = 0;
  QTest::keyClicks(field, "com.a, , com.b,");
  EXPECT_EQ(world.preferences().excludedBundleIDs.get(), (std::vector<std::string>{"com.a", "com.b"}));
  const int afterTyping = changes;
  QTest::keyClicks(field, " ");
  EXPECT_EQ(changes, afterTyping);  // same list: nothing stored
  EXPECT_EQ(field->text(), "com.a, , com.b, ");
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(changes, afterTyping);
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  EXPECT_TRUE(world.preferences().excludedBundleIDs.get().empty());
  EXPECT_EQ(world.defaults.stringArray("excludedBundleIDs"), std::vector<std::string>{});
}

TEST_F(SettingsPanesTest, PermissionRowsShowTheGrantsAndOneAutomationRowPerRunningBrowser) {
  world.desktop.accessibilityTrusted = false;
  world.launchWithWindows("com.apple.Safari", "Safari", {"Start"});
  world.launchWithWindows("com.apple.Terminal", "Terminal", {"zsh"});
  world.launchWithWindows("com.microsoft.VSCode", "Code", {"main.cpp"});
  world.desktop.privacy.automation["com.apple.Terminal"] = 0;
  open(SettingsTab::general);
  world.loop.advance(SettingsView::kTickInterval);  // the tick refreshes the Automation statuses
  world.loop.advance(SettingsView::kTickInterval);
  auto* rows = find<QWidget>("permissions.automation");
  std::vector<std::string> names;
  for (auto* row : rows->findChildren<SettingsRow*>())
    if (row->isVisibleTo(view.get())) names.push_back(row->titleLabel()->text().toStdString());
  EXPECT_EQ(names, (std::vector<std::string>{"Safari Automation", "Terminal Automation"}));
  auto rowStatus = [&](const char* name) {
    return find<QWidget>(name)->findChild<SettingsStatusLabel*>()->text();
  };
  EXPECT_EQ(rowStatus("permission.automation.terminal"), "Granted");
  EXPECT_EQ(rowStatus("permission.automation.safari"), "Not granted");
  EXPECT_EQ(rowStatus("permission.Accessibility"), "Not granted");
  EXPECT_EQ(rowStatus("permission.Input Monitoring"), "Granted");
  EXPECT_FALSE(find<QWidget>("permission.grant.Input Monitoring")->isVisibleTo(view.get()));

  click(find<QPushButton>("permission.grant.Accessibility"));
  EXPECT_EQ(world.desktop.openedURLs.back(),
            std::string(PermissionsService::kPanePrefix) + "Privacy_Accessibility");
  world.desktop.accessibilityTrusted = true;
  world.loop.advance(SettingsView::kTickInterval);
  EXPECT_EQ(rowStatus("permission.Accessibility"), "Granted");
  EXPECT_FALSE(find<QWidget>("permission.grant.Accessibility")->isVisibleTo(view.get()));
}

TEST_F(SettingsPanesTest, ExtensionStatusesFollowTheBridgeAndTheSeenSetting) {
  EXPECT_EQ(GeneralPane::chromiumStatus(true, false), (GeneralPane::Status{true, "Connected"}));
  EXPECT_EQ(GeneralPane::chromiumStatus(false, true),
            (GeneralPane::Status{true, "Installed \u2014 browser not running"}));
  EXPECT_EQ(GeneralPane::chromiumStatus(false, false), (GeneralPane::Status{false, "Not connected"}));
  EXPECT_EQ(GeneralPane::safariStatus(true, true), (GeneralPane::Status{false, "Needs website access"}));
  EXPECT_EQ(GeneralPane::safariStatus(true, false), (GeneralPane::Status{true, "Active"}));
  EXPECT_EQ(GeneralPane::safariStatus(false, false), (GeneralPane::Status{false, "Not active"}));

  open(SettingsTab::general);
  EXPECT_EQ(status("extensions.chromium"), "Not connected");
  EXPECT_EQ(status("extensions.safari"), "Not active");
  EXPECT_TRUE(shown("extensions.connectHeading"));
  EXPECT_FALSE(shown("extensions.safariAccess"));
  // An extension that connected once, its browser now closed: green, no load steps.
  world.preferences().chromeExtensionSeen.set(true);
  EXPECT_EQ(status("extensions.chromium"), "Installed \u2014 browser not running");
  EXPECT_TRUE(find<SettingsStatusLabel>("extensions.chromium")->isConnected());
  EXPECT_FALSE(shown("extensions.connectHeading"));

  // Safari reports: active until 75 s have passed, counted on "BridgeStatusChanged" and the tick.
  world.browserBridge().handle(nullptr, R"({"event":"hello","browser":"safari","session":"p"})");
  EXPECT_EQ(status("extensions.safari"), "Active");
  world.loop.advance(SettingsView::kSafariActiveFor - SettingsView::kTickInterval);
  EXPECT_EQ(status("extensions.safari"), "Active");
  world.loop.advance(2 * SettingsView::kTickInterval);  // the first tick past 75 s
  EXPECT_EQ(status("extensions.safari"), "Not active");
}

TEST_F(SettingsPanesTest, EditorTabsCardNeedsAnEditorAndItsStatusIsVSCodesOwn) {
  open(SettingsTab::general);
  EXPECT_FALSE(shown("general.editorTabs"));
  std::filesystem::create_directories(world.home.path() / ".cursor/extensions");
  world.loop.advance(SettingsView::kTickInterval);
  EXPECT_TRUE(shown("general.editorTabs"));
  EXPECT_FALSE(shown("editorTabs.status"));
  world.preferences().vscodeTabsEnabled.set(true);
  EXPECT_TRUE(shown("editorTabs.status"));
  EXPECT_NE(status("editorTabs.status"), "Reporting");
}

TEST_F(SettingsPanesTest, ButtonsOpenTheSetUpWindowSafariSettingsAndReportAMissingExtension) {
  OnboardingWindowController& setUp = *world.services().onboardingWindow;  // the application's own
  world.preferences().hasCompletedOnboarding.set(true);
  open(SettingsTab::general);
  click(find<QPushButton>("extensions.setupAssistant"));
  EXPECT_EQ(setUp.mode(), OnboardingMode::setup);

  click(find<QPushButton>("extensions.safariSettings"));
  EXPECT_EQ(world.desktop.safariExtensionSettings().shown,
            std::vector<std::string>{GeneralPane::kSafariExtensionID});

  EXPECT_FALSE(shown("extensions.installMessage"));
  click(find<QPushButton>("extensions.reveal"));  // the test's resources carry no extension
  EXPECT_TRUE(shown("extensions.installMessage"));
  EXPECT_EQ(find<QLabel>("extensions.installMessage")->text().toStdString(), GeneralPane::kMissingExtension);
}

TEST_F(SettingsPanesTest, ARefusedLaunchAtLoginSpringsBackAndSaysWhy) {
  world.desktop.loginItems().failWith("Operation not permitted");
  open(SettingsTab::general);
  auto* launch = find<SettingsSwitch>("launchAtLogin");
  const bool before = launch->isChecked();
  click(launch);
  EXPECT_EQ(launch->isChecked(), before);
  auto* row = find<SettingsRow>("general.launchAtLogin");
  EXPECT_TRUE(row->detailLabel()->text().startsWith("macOS refused this: "));
}

TEST(SettingsBadInput, ASettingsFileWithValuesOutOfRangeOrOfTheWrongTypeShowsClampedValues) {
  test::ensureQtApplication();
  test::TestWorld world;
  world.defaults.set("universalTabLimit", 500);
  world.defaults.set("perWindowTabLimit", "many");
  world.defaults.set("hudSizePreset", "huge");
  world.defaults.set("hudGlassStyle", 7);
  world.defaults.set("excludedBundleIDs", 42);
  world.defaults.set("showThumbnails", "yes");
  SettingsView view(test::settingsCollaborators(world));
  view.selectTab(SettingsTab::general);
  EXPECT_EQ(view.findChild<SettingsStepper*>("universalTabLimit")->value(), 100);
  EXPECT_EQ(view.findChild<SettingsStepper*>("perWindowTabLimit")->value(), 1);
  view.selectTab(SettingsTab::appearance);
  EXPECT_EQ(view.findChild<QComboBox*>("hudSizePreset")->currentText(), "Comfortable (Default)");
  EXPECT_EQ(view.findChild<QComboBox*>("hudGlassStyle")->currentIndex(), 0);
  for (SettingsTab tab : settingsTabs::kAll) view.selectTab(tab);  // every pane builds
}

TEST(SettingsBadInput, TypingIntoTheExclusionFieldKeepsTheTextWhenTheSettingsFileCannotBeWritten) {
  test::ensureQtApplication();
  test::TestWorld world;
  // The settings "file" is a folder: every write of it fails.
  const auto file = world.home.path() / "settings.json";
  std::filesystem::create_directories(file);
  std::vector<std::string> problems;
  platform::JsonFileDefaults defaults(file, [&](const std::string& line) { problems.push_back(line); });
  Preferences prefs(defaults, world.notifications(), world.desktop.loginItems());
  SettingsView view(test::settingsCollaborators(world, prefs));
  view.selectTab(SettingsTab::general);
  view.show();
  auto* field = view.findChild<QLineEdit*>("excludedBundleIDs");
  field->clear();
  QTest::keyClicks(field, "com.example.vault, org.keep");
  EXPECT_EQ(field->text(), "com.example.vault, org.keep");
  EXPECT_EQ(prefs.excludedBundleIDs.get(), (std::vector<std::string>{"com.example.vault", "org.keep"}));
}

}  // namespace
}  // namespace velvix
