#include "App/VelvixApp.hpp"

#include "App/DesktopPlatform.hpp"
#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Core/Activator.hpp"
#include "Core/BadgeStore.hpp"
#include "Core/FaviconStore.hpp"
#include "Core/AppMonitor.hpp"
#include "Core/Closer.hpp"
#include "Core/DockController.hpp"
#include "Core/MRUManager.hpp"
#include "Input/TerminalEditingKeys.hpp"
#include "Input/TerminalMouseSelection.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "UI/MicFeedbackHUD.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsWindowController.hpp"
#include "Core/MicMute.hpp"
#include "Core/Preferences.hpp"
#include "Core/TabMover.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Linux/FolderResources.hpp"
#include "Platform/Linux/JsonFileDefaults.hpp"
#include "Platform/Linux/LinuxQuarantine.hpp"
#include "Input/SystemSwitcherShortcut.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/JsonFileDefaults.hpp"
#include "Platform/Linux/ThreadBackgroundTimers.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Qt/QtHttpClient.hpp"
#include "Platform/Qt/QtImageDecoder.hpp"
#include "Platform/Simulated/MemoryDefaults.hpp"
#include "Platform/Simulated/SimAccessibility.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Platform/Simulated/SimLoginItems.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "Support/AppIcon.hpp"
#include "Support/UpdateChecker.hpp"
#include "Support/AppIdentity.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/DebugLog.hpp"
#include "Support/HealthMonitor.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/ProcessLog.hpp"
#include "Support/RunningApps.hpp"
#include "Support/SupportFolder.hpp"
#include "Support/WindowList.hpp"

namespace velvix {

// Everything the root owns, in construction order (destroyed in reverse).
struct VelvixApp::Parts {
  platform::ThreadBackgroundTimers backgroundTimers;
  std::unique_ptr<platform::UserDefaults> defaults;
  platform::NotificationCenter notifications;
  std::unique_ptr<DebugLog> log;
  std::unique_ptr<AXWindowBridge> ax;
  std::unique_ptr<WindowList> windows;
  std::unique_ptr<RunningApps> runningApps;
  std::unique_ptr<Preferences> preferences;
  std::unique_ptr<ThumbnailStore> thumbnails;
  std::unique_ptr<BrowserBridge> bridge;
  std::unique_ptr<MRUManager> mru;
  std::unique_ptr<PermissionsService> permissions;
  std::unique_ptr<AppleScriptBridge> scripts;
  std::unique_ptr<AppIcon> appIcons;
  std::unique_ptr<MicMute> micMute;
  std::unique_ptr<UpdateChecker> updater;
  std::unique_ptr<AppMonitor> appMonitor;
  std::unique_ptr<Activator> activator;
  std::unique_ptr<Closer> closer;
  std::unique_ptr<TabMover> tabMover;
  std::unique_ptr<platform::FolderResources> resources;
  platform::LinuxQuarantine quarantine;
  std::unique_ptr<ChromeHostInstaller> hostInstaller;
  std::unique_ptr<SystemSwitcherShortcut> systemSwitcherShortcut;
  std::unique_ptr<HealthMonitor> healthMonitor;
  std::unique_ptr<platform::HttpClient> http;
  std::unique_ptr<platform::ImageDecoder> imageDecoder;
  std::unique_ptr<BadgeStore> badges;
  std::unique_ptr<FaviconStore> favicons;
  std::unique_ptr<DockController> dock;
  TerminalEditingKeys terminalKeys;
  std::unique_ptr<TerminalMouseSelection> mouseSelection;
  MicFeedbackHUD micHUD;
  std::unique_ptr<SettingsWindowController> settingsWindow;
  std::unique_ptr<OnboardingWindowController> onboardingWindow;
};

std::filesystem::path VelvixApp::settingsFile(const std::filesystem::path& home) {
  return home / "Library" / "Preferences" / (std::string(AppIdentity::kBundleIdentifier) + ".json");
}

VelvixApp::VelvixApp(sim::SimDesktop& desktop, VelvixAppOptions options) : parts_(std::make_unique<Parts>()) {
  if (desktop.selfPid() == 0) desktop.launchSelf(AppIdentity::kBundleIdentifier, AppIdentity::kName);
  Parts& p = *parts_;
  connectPlatform(services_, desktop);
  services_.home = options.home;
  services_.backgroundTimers = options.backgroundTimers ? options.backgroundTimers : &p.backgroundTimers;
  // The system's shortcuts outlive the process, as the window server keeps them: a run that dies
  // by a signal switches them back on in this file.
  const auto simulatedState = options.home / ".velvix-simulated-desktop";
  if (auto error = files::createFolders(simulatedState, 0700)) {
    processLog("symbolic hot keys kept in memory: " + *error);
  } else {
    desktop.symbolicHotKeys().useStateFile((simulatedState / "symbolic-hotkeys").string());
  }

  if (options.persistentSettings) {
    p.defaults = std::make_unique<platform::JsonFileDefaults>(settingsFile(options.home),
                                                              [](const std::string& line) { processLog(line); });
  } else {
    p.defaults = std::make_unique<sim::MemoryDefaults>();
  }
  services_.defaults = p.defaults.get();
  services_.notifications = &p.notifications;

  p.log = std::make_unique<DebugLog>(SupportFolder::path(options.home), *p.defaults, desktop.loop());
  services_.log = p.log.get();
  p.ax = std::make_unique<AXWindowBridge>(desktop.accessibility(), desktop.loop());
  services_.ax = p.ax.get();
  p.windows = std::make_unique<WindowList>(desktop.windowServer(), desktop.workspace(), *p.ax);
  services_.windows = p.windows.get();
  p.runningApps = std::make_unique<RunningApps>(desktop.workspace(), desktop.processes());
  services_.runningApps = p.runningApps.get();
  p.preferences = std::make_unique<Preferences>(*p.defaults, p.notifications, desktop.loginItems());
  services_.preferences = p.preferences.get();
  p.thumbnails = std::make_unique<ThumbnailStore>(services_);
  services_.thumbnails = p.thumbnails.get();
  p.bridge = std::make_unique<BrowserBridge>(services_);
  services_.bridge = p.bridge.get();
  p.mru = std::make_unique<MRUManager>(services_);
  services_.mru = p.mru.get();
  p.permissions = std::make_unique<PermissionsService>(services_);
  services_.permissions = p.permissions.get();
  p.scripts = std::make_unique<AppleScriptBridge>(services_, desktop.scripts());
  services_.scripts = p.scripts.get();
  p.appIcons = std::make_unique<AppIcon>(services_);
  services_.appIcons = p.appIcons.get();
  p.micMute = std::make_unique<MicMute>(services_);
  services_.micMute = p.micMute.get();
  p.updater = std::make_unique<UpdateChecker>(services_);
  services_.updater = p.updater.get();
  p.appMonitor = std::make_unique<AppMonitor>(services_);
  services_.appMonitor = p.appMonitor.get();
  p.activator = std::make_unique<Activator>(services_);
  services_.activator = p.activator.get();
  p.closer = std::make_unique<Closer>(services_);
  services_.closer = p.closer.get();
  p.tabMover = std::make_unique<TabMover>(services_);
  services_.tabMover = p.tabMover.get();
  p.resources = std::make_unique<platform::FolderResources>(
      options.resources.empty() ? platform::FolderResources::besideProgram()
                                : platform::FolderResources(options.resources));
  services_.resources = p.resources.get();
  services_.quarantine = &p.quarantine;
  p.hostInstaller = std::make_unique<ChromeHostInstaller>(services_);
  services_.hostInstaller = p.hostInstaller.get();
  p.systemSwitcherShortcut = std::make_unique<SystemSwitcherShortcut>(services_);
  services_.systemSwitcherShortcut = p.systemSwitcherShortcut.get();
  p.healthMonitor = std::make_unique<HealthMonitor>(services_);
  services_.healthMonitor = p.healthMonitor.get();
  // Site icons come from the real web; the program runs inside a Qt application.
  p.http = std::make_unique<qt::QtHttpClient>(desktop.loop());
  services_.http = p.http.get();
  p.imageDecoder = std::make_unique<qt::QtImageDecoder>();
  services_.imageDecoder = p.imageDecoder.get();
  p.badges = std::make_unique<BadgeStore>(services_);
  services_.badges = p.badges.get();
  p.favicons = std::make_unique<FaviconStore>(*p.http, *p.imageDecoder);
  services_.favicons = p.favicons.get();
  p.dock = std::make_unique<DockController>(services_);
  services_.dock = p.dock.get();
  services_.terminalKeys = &p.terminalKeys;
  p.mouseSelection = std::make_unique<TerminalMouseSelection>(SupportFolder::path(options.home));
  services_.mouseSelection = p.mouseSelection.get();
  services_.micHUD = &p.micHUD;
  p.settingsWindow = std::make_unique<SettingsWindowController>(services_);
  services_.settingsWindow = p.settingsWindow.get();
  p.onboardingWindow = std::make_unique<OnboardingWindowController>(services_);
  services_.onboardingWindow = p.onboardingWindow.get();
  desktop.application().onTerminate = [this] { terminate(); };

  delegate_ = std::make_unique<AppDelegate>(services_);
}

void VelvixApp::terminate() {
  if (terminated_) return;
  if (!delegate_->applicationShouldTerminate()) return;
  terminated_ = true;
  delegate_->applicationWillTerminate();
  if (onQuit) onQuit();
}

VelvixApp::~VelvixApp() {
  delegate_.reset();
  if (parts_->log) parts_->log->flush();
}

}  // namespace velvix
