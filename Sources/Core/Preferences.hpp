#pragma once
// The one settings store of the application. Every user setting is an observable member that is
// persisted under a defaults key of its own name; every assignment announces itself to the views
// (before the change) and to the rest of the process ("PreferencesChanged", after it is stored).
// It also owns the launch-at-login switch, which lives in the login-item service. Main thread only.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "Core/SettingsEnums.hpp"
#include "Support/Observers.hpp"
#include "Support/Setting.hpp"

namespace velvix {
namespace platform {
class LoginItems;
class NotificationCenter;
class UserDefaults;
}  // namespace platform

class Preferences final : public SettingStore {
 public:
  static constexpr const char* kDidOfferLaunchAtLoginKey = "didOfferLaunchAtLogin";
  static const std::vector<std::string>& builtInExcludedBundleIDs();

  Preferences(platform::UserDefaults& defaults, platform::NotificationCenter& notifications,
              platform::LoginItems& loginItems);
  Preferences(const Preferences&) = delete;
  Preferences& operator=(const Preferences&) = delete;

 private:
  // Declared before the settings so they are bound before the settings load through them.
  platform::UserDefaults& defaults_;
  platform::NotificationCenter& notifications_;
  platform::LoginItems& loginItems_;
  // What the store had to mend while loading, one line each, for the log.
  std::vector<std::string> loadProblems_;

 public:
  const std::vector<std::string>& loadProblems() const { return loadProblems_; }

  // Members in their declared order; each is persisted under the key of its own name.
  Setting<int> universalTabLimit;
  Setting<int> perWindowTabLimit;
  Setting<bool> includePrivateTabs;
  Setting<HotkeyMode> hotkeyMode;
  Setting<GlassStyle> hudGlassStyle;
  Setting<bool> switcherEnabled;
  Setting<bool> hasCompletedOnboarding;
  Setting<bool> showThumbnails;
  Setting<HUDSizePreset> hudSizePreset;
  Setting<std::vector<std::string>> excludedBundleIDs;
  Setting<bool> debugLogging;
  Setting<bool> micMuteHotkeyEnabled;
  Setting<bool> terminalEditingKeysEnabled;
  Setting<bool> terminalLineJumpEnabled;
  Setting<bool> terminalLineDeleteEnabled;
  Setting<bool> terminalUndoRedoEnabled;
  Setting<bool> terminalCharSelectEnabled;
  Setting<bool> terminalWordSelectEnabled;
  Setting<bool> terminalLineSelectEnabled;
  Setting<bool> terminalCutEnabled;
  Setting<bool> terminalMouseSelectEnabled;
  Setting<bool> terminalShellIntegrationAllowed;
  Setting<bool> terminalShellIntegrationAsked;
  Setting<bool> vscodeTerminalKeysAllowed;
  Setting<bool> vscodeTerminalKeysAsked;
  Setting<bool> vscodeTabsEnabled;
  Setting<bool> dockPreviewsEnabled;
  Setting<bool> dockClickActions;
  Setting<bool> dragTabsBetweenWindows;
  Setting<bool> chromeExtensionSeen;

  // Launch at login: reads what the login-item service reported; assigning it registers or
  // unregisters the application. A failed change springs back and leaves the error text.
  bool launchAtLogin() const { return launchAtLogin_; }
  void setLaunchAtLogin(bool enabled);
  const std::optional<std::string>& launchAtLoginError() const { return launchAtLoginError_; }

  // Told before any observable member changes, with the member's name.
  [[nodiscard]] Subscription observeWillChange(std::function<void(std::string_view member)> callback) {
    return willChange_.add(std::move(callback));
  }

  platform::UserDefaults& defaults() { return defaults_; }

 private:
  void willChange(const std::string& key) override { willChange_.notify(key); }
  void store(const std::string& key, nlohmann::json value) override;
  void setLaunchAtLoginError(std::optional<std::string> error);
  void migrateLegacyDockClickKeys();
  void enableLaunchAtLoginOnFirstRun();

  std::optional<std::string> launchAtLoginError_;
  bool revertingLaunchAtLogin_ = false;
  bool launchAtLogin_ = false;
  ObserverList<std::string_view> willChange_;
};

// ---- the stored form of the settings' enumerations

template <typename E>
requires std::is_enum_v<E> nlohmann::json storedForm(E value) {
  return std::string(rawName(value));
}

}  // namespace velvix
