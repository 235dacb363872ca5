#include "Core/Preferences.hpp"

#include <algorithm>

#include "Platform/LoginItems.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/UserDefaults.hpp"
#include "Support/ProcessLog.hpp"

namespace velvix {
namespace {

using Json = nlohmann::json;

// The registered defaults: every member but the three editor settings, which read false unset.
Json registeredDefaults() {
  return Json{
      {"universalTabLimit", 10},
      {"perWindowTabLimit", 5},
      {"includePrivateTabs", false},
      {"hotkeyMode", "commandTab"},
      {"hudGlassStyle", "appKit"},
      {"switcherEnabled", true},
      {"hasCompletedOnboarding", false},
      {"showThumbnails", true},
      {"hudSizePreset", "comfortable"},
      {"excludedBundleIDs", Preferences::builtInExcludedBundleIDs()},
      {"debugLogging", false},
      {"micMuteHotkeyEnabled", true},
      {"terminalEditingKeysEnabled", true},
      {"terminalLineJumpEnabled", true},
      {"terminalLineDeleteEnabled", true},
      {"terminalUndoRedoEnabled", true},
      {"terminalCharSelectEnabled", true},
      {"terminalWordSelectEnabled", true},
      {"terminalLineSelectEnabled", false},
      {"terminalCutEnabled", true},
      {"terminalMouseSelectEnabled", true},
      {"terminalShellIntegrationAllowed", false},
      {"terminalShellIntegrationAsked", false},
      {"dockPreviewsEnabled", true},
      {"dockClickActions", true},
      {"dragTabsBetweenWindows", true},
      {"chromeExtensionSeen", false},
  };
}

// Registers the defaults first: the members below load through them.
platform::UserDefaults& withRegisteredDefaults(platform::UserDefaults& defaults) {
  defaults.registerDefaults(registeredDefaults());
  return defaults;
}

int loadClamped(const platform::UserDefaults& d, const std::string& key, int upper) {
  return static_cast<int>(std::clamp<std::int64_t>(d.integer(key), 1, upper));
}

template <typename E>
E loadEnum(const platform::UserDefaults& d, const std::string& key, E fallback) {
  auto text = d.string(key);
  if (!text) return fallback;
  return fromRaw<E>(*text).value_or(fallback);
}

// The user's own privacy list is never swapped for the built-in one because of a stray entry: the
// names in it stay, anything that is not a name goes (and is noted).
std::vector<std::string> loadExclusions(const platform::UserDefaults& d, std::vector<std::string>& problems) {
  const auto stored = d.object("excludedBundleIDs");
  if (!stored || !stored->is_array()) return Preferences::builtInExcludedBundleIDs();
  std::vector<std::string> ids;
  std::size_t dropped = 0;
  for (const auto& element : *stored) {
    if (element.is_string())
      ids.push_back(element.get<std::string>());
    else
      ++dropped;
  }
  if (dropped > 0)
    problems.push_back("settings: excludedBundleIDs holds " + std::to_string(dropped) +
                       " entries that are not bundle identifiers; kept the " + std::to_string(ids.size()) +
                       " that are and ignored the rest");
  return ids;
}

}  // namespace

const std::vector<std::string>& Preferences::builtInExcludedBundleIDs() {
  static const std::vector<std::string> ids{
      "com.1password.1password", "com.agilebits.onepassword7", "com.bitwarden.desktop",
      "org.keepassxc.keepassxc", "com.lastpass.LastPass",      "com.apple.keychainaccess",
      "com.apple.Passwords",
  };
  return ids;
}

// Members are initialised in declared order, which is also the load order; the legacy Dock keys
// are migrated between dockPreviewsEnabled and dockClickActions.
Preferences::Preferences(platform::UserDefaults& defaults, platform::NotificationCenter& notifications,
                         platform::LoginItems& loginItems)
    : defaults_(withRegisteredDefaults(defaults)),
      notifications_(notifications),
      loginItems_(loginItems),
      universalTabLimit(*this, "universalTabLimit", loadClamped(defaults, "universalTabLimit", 100)),
      perWindowTabLimit(*this, "perWindowTabLimit", loadClamped(defaults, "perWindowTabLimit", 50)),
      includePrivateTabs(*this, "includePrivateTabs", defaults.boolean("includePrivateTabs")),
      hotkeyMode(*this, "hotkeyMode", loadEnum(defaults, "hotkeyMode", HotkeyMode::commandTab)),
      hudGlassStyle(*this, "hudGlassStyle", loadEnum(defaults, "hudGlassStyle", GlassStyle::appKit)),
      switcherEnabled(*this, "switcherEnabled", defaults.boolean("switcherEnabled")),
      hasCompletedOnboarding(*this, "hasCompletedOnboarding", defaults.boolean("hasCompletedOnboarding")),
      showThumbnails(*this, "showThumbnails", defaults.boolean("showThumbnails")),
      hudSizePreset(*this, "hudSizePreset", loadEnum(defaults, "hudSizePreset", HUDSizePreset::comfortable)),
      excludedBundleIDs(*this, "excludedBundleIDs", loadExclusions(defaults, loadProblems_)),
      debugLogging(*this, "debugLogging", defaults.boolean("debugLogging")),
      micMuteHotkeyEnabled(*this, "micMuteHotkeyEnabled", defaults.boolean("micMuteHotkeyEnabled")),
      terminalEditingKeysEnabled(*this, "terminalEditingKeysEnabled",
                                 defaults.boolean("terminalEditingKeysEnabled")),
      terminalLineJumpEnabled(*this, "terminalLineJumpEnabled", defaults.boolean("terminalLineJumpEnabled")),
      terminalLineDeleteEnabled(*this, "terminalLineDeleteEnabled",
                                defaults.boolean("terminalLineDeleteEnabled")),
      terminalUndoRedoEnabled(*this, "terminalUndoRedoEnabled", defaults.boolean("terminalUndoRedoEnabled")),
      terminalCharSelectEnabled(*this, "terminalCharSelectEnabled",
                                defaults.boolean("terminalCharSelectEnabled")),
      terminalWordSelectEnabled(*this, "terminalWordSelectEnabled",
                                defaults.boolean("terminalWordSelectEnabled")),
      terminalLineSelectEnabled(*this, "terminalLineSelectEnabled",
                                defaults.boolean("terminalLineSelectEnabled")),
      terminalCutEnabled(*this, "terminalCutEnabled", defaults.boolean("terminalCutEnabled")),
      terminalMouseSelectEnabled(*this, "terminalMouseSelectEnabled",
                                 defaults.boolean("terminalMouseSelectEnabled")),
      terminalShellIntegrationAllowed(*this, "terminalShellIntegrationAllowed",
                                      defaults.boolean("terminalShellIntegrationAllowed")),
      terminalShellIntegrationAsked(*this, "terminalShellIntegrationAsked",
                                    defaults.boolean("terminalShellIntegrationAsked")),
      vscodeTerminalKeysAllowed(*this, "vscodeTerminalKeysAllowed",
                                defaults.boolean("vscodeTerminalKeysAllowed")),
      vscodeTerminalKeysAsked(*this, "vscodeTerminalKeysAsked", defaults.boolean("vscodeTerminalKeysAsked")),
      vscodeTabsEnabled(*this, "vscodeTabsEnabled", defaults.boolean("vscodeTabsEnabled")),
      dockPreviewsEnabled(*this, "dockPreviewsEnabled", defaults.boolean("dockPreviewsEnabled")),
      dockClickActions(*this, "dockClickActions",
                       (migrateLegacyDockClickKeys(), defaults.boolean("dockClickActions"))),
      dragTabsBetweenWindows(*this, "dragTabsBetweenWindows", defaults.boolean("dragTabsBetweenWindows")),
      chromeExtensionSeen(*this, "chromeExtensionSeen", defaults.boolean("chromeExtensionSeen")) {
  launchAtLogin_ = loginItems_.mainAppStatus() == platform::LoginItemStatus::Enabled;
  enableLaunchAtLoginOnFirstRun();
}

// The first legacy key found decides, and only when the user never stored dockClickActions
// (the registered default does not count); either way the legacy key goes.
void Preferences::migrateLegacyDockClickKeys() {
  platform::UserDefaults& d = defaults_;
  for (const char* legacy : {"dockClickFocusesRecent", "dockClickMinimize"}) {
    if (!d.hasUserValue(legacy)) continue;
    if (!d.hasUserValue("dockClickActions")) d.set("dockClickActions", d.boolean(legacy));
    d.remove(legacy);
  }
}

void Preferences::store(const std::string& key, Json value) {
  defaults_.set(key, std::move(value));
  notifications_.post(kChangedNotification);
}

void Preferences::enableLaunchAtLoginOnFirstRun() {
  if (defaults_.boolean(kDidOfferLaunchAtLoginKey)) return;
  // Offered once per user account, whether or not the registration works.
  defaults_.set(kDidOfferLaunchAtLoginKey, true);
  if (hasCompletedOnboarding.get()) return;
  if (loginItems_.mainAppStatus() == platform::LoginItemStatus::Enabled) return;
  if (auto error = loginItems_.registerMainApp()) {
    processLog("First-run launch-at-login registration failed: " + error->description);
    return;
  }
  revertingLaunchAtLogin_ = true;
  setLaunchAtLogin(true);
  revertingLaunchAtLogin_ = false;
}

void Preferences::setLaunchAtLogin(bool enabled) {
  willChange_.notify("launchAtLogin");
  const bool old = launchAtLogin_;
  launchAtLogin_ = enabled;
  if (revertingLaunchAtLogin_ || enabled == old) return;
  auto error = enabled ? loginItems_.registerMainApp() : loginItems_.unregisterMainApp();
  if (!error) {
    setLaunchAtLoginError(std::nullopt);
    return;
  }
  processLog("Launch-at-login change failed: " + error->description);
  setLaunchAtLoginError(error->localizedDescription);
  // Spring the switch back without trying the login-item service again.
  revertingLaunchAtLogin_ = true;
  setLaunchAtLogin(old);
  revertingLaunchAtLogin_ = false;
}

void Preferences::setLaunchAtLoginError(std::optional<std::string> error) {
  willChange_.notify("launchAtLoginError");
  launchAtLoginError_ = std::move(error);
}

}  // namespace velvix
