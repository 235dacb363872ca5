#pragma once
// The status-bar item, the program's only permanent presence: its icon says whether the switcher
// works (event tap running), lacks permissions, or is paused by secure keyboard input; its menu
// switches the switcher on and off and opens settings, set-up, the update check, About and Quit.
// The menu is a model (platform::Menu) kept here and shown through the platform's menu bar.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Menu.hpp"

namespace velvix {

namespace platform {
class Application;
class MenuBar;
}  // namespace platform

class OnboardingWindowController;
class Preferences;
class SettingsWindowController;
class UpdateChecker;

class StatusItemController {
 public:
  enum class Icon { healthy, warning, secureInput };

  static constexpr const char* kEnabledTitle = "Enabled";
  static constexpr const char* kWarningTitle = "\u26a0\ufe0f Permissions needed \u2014 Open Setup\u2026";
  static constexpr const char* kSettingsTitle = "Settings\u2026";
  static constexpr const char* kSetupTitle = "Setup Assistant\u2026";
  static constexpr const char* kUpdatesTitle = "Check for Updates\u2026";
  static constexpr const char* kAboutTitle = "About Velvix";
  static constexpr const char* kQuitTitle = "Quit Velvix";

  // The item lives in `menuBar`; its menu switches `preferences`' switcher on and off, opens the
  // two windows, asks `updateChecker` and runs About and Quit through `application`.
  StatusItemController(platform::Application& application, platform::MenuBar& menuBar,
                       Preferences& preferences, UpdateChecker& updateChecker,
                       SettingsWindowController& settingsWindow,
                       OnboardingWindowController& onboardingWindow);

  // Builds the menu and installs the status item with the healthy icon. Once.
  void install();
  void updateIcon(bool healthy);
  void setSecureInput(bool on, std::optional<std::string> holder);
  // The menu is about to open: check mark, warning line and icon follow the current state.
  void menuNeedsUpdate();
  // Whether the event tap is enabled now; the application delegate provides it. Without it the
  // tap counts as not enabled.
  std::function<bool()> tapEnabled;

  static std::string secureInputDescription(const std::optional<std::string>& holder);

  // Menu actions.
  void toggleEnabled();
  void openSettings();
  void openOnboarding();
  void openRegrant();
  void checkForUpdates();
  void openAbout();
  void quit();

  bool isInstalled() const { return installed_; }
  Icon icon() const { return icon_; }
  const std::optional<std::string>& toolTip() const { return toolTip_; }
  // The menu as built by install() (empty before).
  const std::shared_ptr<platform::Menu>& menu() const { return menu_; }

 private:
  void showIcon(Icon icon);

  platform::Application& application_;
  platform::MenuBar& menuBar_;
  Preferences& preferences_;
  UpdateChecker& updateChecker_;
  SettingsWindowController& settingsWindow_;
  OnboardingWindowController& onboardingWindow_;
  std::shared_ptr<platform::MenuItem> enabledItem_;
  std::shared_ptr<platform::MenuItem> warningItem_;
  std::shared_ptr<platform::MenuItem> warningSeparator_;
  std::shared_ptr<platform::MenuItem> secureInputItem_;
  std::shared_ptr<platform::MenuItem> secureInputSeparator_;
  std::shared_ptr<platform::Menu> menu_;
  std::optional<std::string> secureInputHolder_;
  bool secureInputOn_ = false;
  bool lastHealthy_ = true;
  bool installed_ = false;
  Icon icon_ = Icon::healthy;
  std::optional<std::string> toolTip_;
};

}  // namespace velvix
