#pragma once
// The content of the settings window: a sidebar of the four tabs beside a scrolling column that
// shows the selected tab's pane. It owns the live status the panes show (browser-extension
// connections, Safari's activity, the Screen Recording grant, the exclusion field's text) and
// keeps it fresh with a 2-second tick and the bridge's "BridgeStatusChanged"; every settings
// change and every status change puts the new values into the pane. Switching window previews on
// asks for Screen Recording, or seeds the previews when it is granted. Main thread only.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "UI/SettingsTab.hpp"

class QScrollArea;

namespace velvix {

namespace platform {
class AccessibilityDisplay;
class AppResources;
class Privacy;
class SafariExtensionSettings;
class Workspace;
}  // namespace platform

class BrowserBridge;
class ChromeHostInstaller;
class ChromeSetupPresenter;
class OnboardingWindowController;
class PermissionsService;
class Preferences;
class RunningApps;
class SettingsPane;
class TerminalIntegrationInstaller;
class ThumbnailStore;
class VSCodeExtensionInstaller;
class VSCodeKeybindingsInstaller;

class SettingsView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kTickInterval = 2.0;
  static constexpr double kSafariActiveFor = 75.0;
  static constexpr int kMinimumWidth = 800, kMinimumHeight = 560;
  static constexpr int kIdealWidth = 820, kIdealHeight = 660;
  static constexpr const char* kScreenCapturePane = "Privacy_ScreenCapture";

  // What the panes show besides the settings.
  struct State {
    bool chromeConnected = false;
    bool safariActive = false;
    bool safariNeedsAccess = false;
    std::optional<std::string> chromeInstallMessage;
    bool screenRecordingGranted = false;
    std::string excludedText;
    int refreshTick = 0;
  };

  // Everything the settings window shows the state of and acts on: the settings window is where
  // the user reaches most of the program, so its panes read many services.
  struct Collaborators {
    platform::MainLoop& loop;                     // the tick
    platform::NotificationCenter& notifications;  // settings and extension status changes
    Preferences& preferences;
    platform::Privacy& privacy;       // the permissions granted
    PermissionsService& permissions;  // asking for them, and System Settings
    platform::Workspace& workspace;   // the installed terminals
    RunningApps& runningApps;         // the browsers whose Automation is re-checked
    BrowserBridge& browserBridge;     // whether the extensions report
    ThumbnailStore& thumbnails;       // seeded when previews are switched on
    const platform::AccessibilityDisplay& accessibilityDisplay;  // the glass
    const platform::AppResources& resources;                     // the pictures of the appearance options
    ChromeHostInstaller& hostInstaller;                          // the extension folder it reveals
    ChromeSetupPresenter& chromeSetup;                           // the automatic Chrome set-up
    platform::SafariExtensionSettings& safariExtensionSettings;
    OnboardingWindowController& onboardingWindow;  // the Setup Assistant button
    VSCodeExtensionInstaller& vscodeExtension;
    VSCodeKeybindingsInstaller& vscodeKeybindings;
    TerminalIntegrationInstaller& terminalIntegration;
  };

  explicit SettingsView(const Collaborators& collaborators, QWidget* parent = nullptr);
  ~SettingsView() override;

  const Collaborators& collaborators() const { return uses_; }
  Preferences& prefs() const;
  const State& state() const { return state_; }
  SettingsTab tab() const { return tab_; }
  void selectTab(SettingsTab tab);
  SettingsPane* pane() const { return pane_; }

  // The panes' actions on the view's state.
  void setChromeInstallMessage(std::optional<std::string> message);
  // The exclusion field's text as typed; stores the parsed list when it differs from the stored one.
  void setExcludedText(const std::string& text);
  void commitExclusions();
  // Calls the System Settings pane of the given name.
  void openSystemSettings(const std::string& paneName);

  // The 2-second tick, and the status refresh that "BridgeStatusChanged" runs.
  void tick();
  void refreshBridgeStatus();
  // Puts the current settings and state into the shown pane.
  void refresh();

  // The installed terminals as the Terminal pane's footer names them.
  std::string terminalSupportSummary() const;
  static std::string terminalSupportSummary(const std::vector<std::string>& names);
  // The exclusion field's text parsed: split at commas, trimmed of spaces and tabs, empties dropped.
  static std::vector<std::string> parseExclusions(const std::string& text);

 private:
  class Sidebar;
  bool safariIsActive() const;
  void showPane();
  void preferencesChanged();

  Collaborators uses_;
  State state_;
  SettingsTab tab_ = SettingsTab::appearance;
  bool lastShowThumbnails_ = false;
  Sidebar* sidebar_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QWidget* backdrop_ = nullptr;
  SettingsPane* pane_ = nullptr;
  platform::Timer timer_;
  platform::NotificationCenter::Observation bridgeObservation_;
  platform::NotificationCenter::Observation prefsObservation_;

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace velvix
