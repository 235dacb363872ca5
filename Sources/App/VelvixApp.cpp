#include "App/VelvixApp.hpp"

#include "App/AboutPanel.hpp"
#include "App/DesktopPlatform.hpp"
#include "App/ProgramProcessTable.hpp"
#include "App/RealChromiumMirror.hpp"
#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Bridge/SafariScriptHost.hpp"
#include "Core/Activator.hpp"
#include "Core/AppMonitor.hpp"
#include "Core/BadgeStore.hpp"
#include "Core/Closer.hpp"
#include "Core/DockController.hpp"
#include "Core/FaviconStore.hpp"
#include "Core/MRUManager.hpp"
#include "Core/MicMute.hpp"
#include "Core/Preferences.hpp"
#include "Core/TabMover.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Core/WindowList.hpp"
#include "Input/EventTap.hpp"
#include "Input/SystemSwitcherShortcut.hpp"
#include "Input/TerminalEditingKeys.hpp"
#include "Input/TerminalMouseSelection.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/FolderResources.hpp"
#include "Platform/Linux/InstanceLock.hpp"
#include "Platform/Linux/JsonFileDefaults.hpp"
#include "Platform/Linux/LinuxQuarantine.hpp"
#include "Platform/Linux/ThreadBackgroundTimers.hpp"
#include "Platform/Linux/UnixMessagePorts.hpp"
#include "Platform/MemoryDefaults.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Qt/LetteredIcon.hpp"
#include "Platform/Qt/QtHttpClient.hpp"
#include "Platform/Qt/QtImageDecoder.hpp"
#include "Platform/Qt/SimDesktopPicture.hpp"
#include "Platform/Qt/SimWindowPainter.hpp"
#include "Platform/Simulated/SimAccessibility.hpp"
#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimAudioInput.hpp"
#include "Platform/Simulated/SimBundleReader.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Platform/Simulated/SimInProcessScripts.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimLoginItems.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimPrivacy.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Platform/Simulated/SimUpdater.hpp"
#include "Platform/Simulated/SimWeb.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "Support/AppIcon.hpp"
#include "Support/AppIdentity.hpp"
#include "Support/BuildInfo.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/DebugLog.hpp"
#include "Support/HealthMonitor.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/ProcessLog.hpp"
#include "Support/RunningApps.hpp"
#include "Support/SupportFolder.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/UpdateChecker.hpp"
#include "Support/VSCodeExtensionInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "UI/ChromeSetupPresenter.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/MicFeedbackHUD.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsWindowController.hpp"
#include "UI/WindowPeekPanel.hpp"

namespace velvix {

// Everything the root owns, in construction order (destroyed in reverse).
struct VelvixApp::Parts {
  platform::ThreadBackgroundTimers backgroundTimers;
  std::unique_ptr<ProgramProcessTable> processes;
  std::unique_ptr<platform::UserDefaults> defaults;
  platform::NotificationCenter notifications;
  std::unique_ptr<DebugLog> log;
  std::unique_ptr<AXWindowBridge> ax;
  std::unique_ptr<WindowList> windowList;
  std::unique_ptr<RunningApps> runningApps;
  std::unique_ptr<Preferences> preferences;
  std::unique_ptr<ThumbnailStore> thumbnails;
  std::unique_ptr<platform::UnixMessagePorts> messagePorts;
  std::unique_ptr<BrowserBridge> browserBridge;
  std::unique_ptr<MRUManager> mru;
  std::unique_ptr<PermissionsService> permissions;
  std::unique_ptr<AppleScriptBridge> appleScripts;
  std::unique_ptr<SafariScriptHost> safariHost;
  std::unique_ptr<AppIcon> appIcons;
  std::unique_ptr<MicMute> micMute;
  std::unique_ptr<sim::SimUpdater> updaterFramework;  // no update framework on Linux
  std::unique_ptr<UpdateChecker> updateChecker;
  std::unique_ptr<AppMonitor> appMonitor;
  std::unique_ptr<Activator> activator;
  std::unique_ptr<Closer> closer;
  std::unique_ptr<TabMover> tabMover;
  std::unique_ptr<RealChromiumMirror> realChromium;
  std::unique_ptr<platform::FolderResources> resources;
  platform::LinuxQuarantine quarantine;
  std::unique_ptr<ChromeHostInstaller> hostInstaller;
  std::unique_ptr<SystemSwitcherShortcut> systemSwitcherShortcut;
  std::unique_ptr<HealthMonitor> healthMonitor;
  std::unique_ptr<platform::HttpClient> http;
  std::unique_ptr<platform::ImageDecoder> imageDecoder;
  std::unique_ptr<BadgeStore> badges;
  std::unique_ptr<FaviconStore> favicons;
  std::unique_ptr<DockPreviewPanel> dockCards;  // the Dock controller's panels, which outlive it
  std::unique_ptr<WindowPeekPanel> windowPeek;
  std::unique_ptr<DockController> dock;
  std::unique_ptr<TerminalEditingKeys> terminalKeys;
  std::unique_ptr<TerminalMouseSelection> mouseSelection;
  std::unique_ptr<MicFeedbackHUD> micHUD;
  std::unique_ptr<SettingsWindowController> settingsWindow;
  std::unique_ptr<OnboardingWindowController> onboardingWindow;
  std::unique_ptr<platform::InstanceLock> instanceLock;
  std::unique_ptr<TerminalIntegrationInstaller> terminalIntegration;
  std::unique_ptr<VSCodeKeybindingsInstaller> vscodeKeybindings;
  std::unique_ptr<VSCodeExtensionInstaller> vscodeExtension;
  std::unique_ptr<ChromeSetupPresenter> chromeSetup;
  std::unique_ptr<qt::SimDesktopPicture> desktopPicture;
  sim::SimMenuBar menuBar;
};

namespace {

// The application owns each part; the services hold a plain pointer to it.
template <typename T, typename... Args>
T* own(std::unique_ptr<T>& slot, Args&&... args) {
  slot = std::make_unique<T>(std::forward<Args>(args)...);
  return slot.get();
}

}  // namespace

std::filesystem::path VelvixApp::settingsFile(const std::filesystem::path& home) {
  return home / "Library" / "Preferences" / (std::string(AppIdentity::kBundleIdentifier) + ".json");
}

VelvixApp::VelvixApp(sim::SimDesktop& desktop, VelvixAppOptions options)
    : parts_(std::make_unique<Parts>()), application_(desktop.application()) {
  if (desktop.selfPid() == 0) desktop.launchSelf(AppIdentity::kBundleIdentifier, AppIdentity::kName);
  // Screen captures show the windows as the desktop's window draws them.
  desktop.windowPainter = [&desktop](std::int64_t number, int width, int height, int margin) {
    return qt::SimWindowPainter::render(desktop, number, width, height, margin);
  };
  // Glass panels blur the part of the simulated screen beneath them.
  services_.desktopPicture = own(parts_->desktopPicture, desktop);
  Parts& p = *parts_;
  connectPlatform(services_, desktop);
  // Relays started by real browsers connect to the socket: their lineage is real.
  services_.processes = own(p.processes, desktop.processes(), options.simulatedSocketPeers);
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
    p.defaults = std::make_unique<platform::JsonFileDefaults>(
        settingsFile(options.home), [](const std::string& line) { processLog(line); });
  } else {
    p.defaults = std::make_unique<platform::MemoryDefaults>();
  }
  services_.defaults = p.defaults.get();
  services_.notifications = &p.notifications;

  services_.log = own(p.log, SupportFolder::path(options.home), *p.defaults, desktop.loop());
  services_.ax = own(p.ax, desktop.accessibility(), desktop.loop());
  services_.windowList = own(p.windowList, desktop.windowServer(), desktop.workspace(), *p.ax);
  services_.runningApps = own(p.runningApps, desktop.workspace(), desktop.processes());
  services_.preferences = own(p.preferences, *p.defaults, p.notifications, desktop.loginItems());
  for (const auto& line : services_.preferences->loadProblems()) processLog(line);
  services_.thumbnails = own(p.thumbnails, services_);
  // The Safari handler's message port is real: a socket in a private folder of the support folder.
  services_.messagePorts =
      own(p.messagePorts, desktop.loop(), portchannel::portsFolder(options.home.string()),
          [](const std::string& line) { processLog(line); });
  services_.browserBridge = own(p.browserBridge, services_);
  services_.mru = own(p.mru, services_);
  services_.permissions = own(p.permissions, services_);
  services_.appleScripts = own(p.appleScripts, services_, desktop.scripts());
  services_.safariHost = own(p.safariHost, desktop.workspace(), *p.runningApps, desktop.loop(), *p.log,
                             desktop.inProcessScripts());
  services_.appIcons = own(p.appIcons, desktop.workspace(), desktop.bundles());
  services_.micMute = own(p.micMute, desktop.microphone(), *p.defaults);
  services_.updaterFramework = own(p.updaterFramework, desktop.loop());
  p.updaterFramework->showPanel = [&desktop] {
    desktop.application().orderFrontPanel("Software Update", sim::SimUpdater::kPanelMessage);
  };
  desktop.application().aboutMessage = AppIdentity::nameAndVersion() + "\n" + AboutPanel::kDescription;
  services_.updateChecker = own(p.updateChecker, *p.updaterFramework);
  services_.appMonitor = own(p.appMonitor, services_);
  services_.activator = own(p.activator, services_);
  services_.closer = own(p.closer, services_);
  services_.tabMover = own(p.tabMover, services_);
  own(p.realChromium, services_, desktop);
  services_.resources =
      own(p.resources, options.resources.empty() ? platform::FolderResources::besideProgram()
                                                 : platform::FolderResources(options.resources));
  services_.quarantine = &p.quarantine;
  services_.hostInstaller = own(p.hostInstaller, services_);
  services_.systemSwitcherShortcut =
      own(p.systemSwitcherShortcut, desktop.symbolicHotKeys(), desktop.loop(), *p.log);
  services_.healthMonitor = own(p.healthMonitor, services_);
  // Site icons: those of the simulated browsers' pages come from the simulation, those of real
  // pages from the web (the program runs inside a Qt application).
  auto web =
      std::make_unique<sim::SimWeb>(desktop.loop(), std::make_unique<qt::QtHttpClient>(desktop.loop()));
  web->serveSiteIcons(desktop, &qt::LetteredIcon::siteIconFile);
  p.http = std::move(web);
  services_.http = p.http.get();
  p.imageDecoder = std::make_unique<qt::QtImageDecoder>();
  services_.imageDecoder = p.imageDecoder.get();
  services_.badges = own(p.badges, services_);
  services_.favicons = own(p.favicons, *p.http, *p.imageDecoder);
  own(p.dockCards, desktop.loop(), desktop.screens(), desktop.accessibilityDisplay(), services_.placement);
  own(p.windowPeek, desktop.loop(), desktop.screens(), services_.placement);
  services_.dock = own(p.dock, services_, *p.dockCards, *p.windowPeek);
  services_.mouseSelection = own(p.mouseSelection, desktop.accessibility(), desktop.input(),
                                 desktop.workspace(), *p.log, options.home);
  services_.terminalKeys = own(p.terminalKeys, *p.preferences, desktop.workspace(), desktop.accessibility(),
                               *p.mouseSelection, desktop.loop());
  services_.micHUD = own(p.micHUD, desktop.loop(), desktop.screens(), desktop.accessibilityDisplay(),
                         p.desktopPicture.get(), services_.placement);
  if (options.singleInstanceLock)
    services_.instanceLock =
        own(p.instanceLock, SupportFolder::path(options.home) / platform::InstanceLock::kFileName);
  services_.terminalIntegration = own(p.terminalIntegration, services_);
  services_.vscodeKeybindings = own(p.vscodeKeybindings, services_);
  services_.vscodeExtension = own(p.vscodeExtension, services_);
  services_.chromeSetup =
      own(p.chromeSetup, services_, [this] { return delegate_ ? delegate_->eventTap() : nullptr; });
  // The two windows are made once the installers and the Chrome set-up they act on exist.
  services_.onboardingWindow =
      own(p.onboardingWindow, OnboardingWindowController::Collaborators{
                                  .application = desktop.application(),
                                  .workspace = desktop.workspace(),
                                  .mru = *p.mru,
                                  .screens = desktop.screens(),
                                  .accessibilityDisplay = desktop.accessibilityDisplay(),
                                  .screenPlacement = services_.placement,
                                  .preferences = *p.preferences,
                                  .vscodeKeybindings = *p.vscodeKeybindings,
                                  .terminalIntegration = *p.terminalIntegration,
                                  .steps = {.permissions = *p.permissions,
                                            .privacy = desktop.privacyService(),
                                            .runningApps = *p.runningApps,
                                            .browserBridge = *p.browserBridge,
                                            .preferences = *p.preferences,
                                            .loop = desktop.loop(),
                                            .chromeSetup = *p.chromeSetup,
                                            .safariExtensionSettings = desktop.safariExtensionSettings()}});
  // The set-up window words the Safari step for the kind of build that runs.
  p.onboardingWindow->developerIDSigned = BuildInfo(desktop.codeSigning).isDeveloperIDSigned();
  services_.settingsWindow =
      own(p.settingsWindow, SettingsWindowController::Collaborators{
                                .application = desktop.application(),
                                .mru = *p.mru,
                                .screens = desktop.screens(),
                                .screenPlacement = services_.placement,
                                .settings = {.loop = desktop.loop(),
                                             .notifications = p.notifications,
                                             .preferences = *p.preferences,
                                             .privacy = desktop.privacyService(),
                                             .permissions = *p.permissions,
                                             .workspace = desktop.workspace(),
                                             .runningApps = *p.runningApps,
                                             .browserBridge = *p.browserBridge,
                                             .thumbnails = *p.thumbnails,
                                             .accessibilityDisplay = desktop.accessibilityDisplay(),
                                             .resources = *p.resources,
                                             .hostInstaller = *p.hostInstaller,
                                             .chromeSetup = *p.chromeSetup,
                                             .safariExtensionSettings = desktop.safariExtensionSettings(),
                                             .onboardingWindow = *p.onboardingWindow,
                                             .vscodeExtension = *p.vscodeExtension,
                                             .vscodeKeybindings = *p.vscodeKeybindings,
                                             .terminalIntegration = *p.terminalIntegration}});
  services_.menuBar = &p.menuBar;
  desktop.application().onTerminate = [this] { terminate(); };

  delegate_ = std::make_unique<AppDelegate>(services_);
  // The application made frontmost again, after the user had left it, tells its delegate, as the
  // application framework does. Being frontmost from the start is the launch, not a return.
  auto isSelf = [this](const platform::Notification& n) {
    return n.userInfo.is_object() &&
           n.userInfo.value("pid", platform::Pid{0}) == services_.workspace->ownPid();
  };
  resignedActive_ = desktop.workspace().notificationCenter().observe(
      platform::WorkspaceNotification::kDidDeactivateApplication, desktop.loop(),
      [this, isSelf](const platform::Notification& n) { leftOnce_ = leftOnce_ || isSelf(n); });
  becameActive_ = desktop.workspace().notificationCenter().observe(
      platform::WorkspaceNotification::kDidActivateApplication, desktop.loop(),
      [this, isSelf](const platform::Notification& n) {
        if (isSelf(n) && leftOnce_) delegate_->applicationDidBecomeActive();
      });
}

sim::SimMenuBar& VelvixApp::menuBar() {
  return parts_->menuBar;
}

const qt::SimDesktopPicture& VelvixApp::desktopPicture() const {
  return *parts_->desktopPicture;
}

const DockPreviewPanel& VelvixApp::dockCards() const {
  return *parts_->dockCards;
}

const WindowPeekPanel& VelvixApp::windowPeek() const {
  return *parts_->windowPeek;
}

void VelvixApp::terminate(platform::Application::QuitReason reason) {
  if (terminated_) return;
  terminated_ = true;
  // The reason the clean-up reads, as the system's quit event would carry it.
  if (reason != platform::Application::QuitReason::user) application_.quitReason = reason;
  const bool mayAsk = application_.currentQuitReason() == platform::Application::QuitReason::user;
  if (mayAsk && onQuitAsking) onQuitAsking(true);
  delegate_->applicationShouldTerminate();  // always answers: terminate now
  if (mayAsk && onQuitAsking) onQuitAsking(false);
  delegate_->applicationWillTerminate();
  if (onQuit) onQuit();
}

VelvixApp::~VelvixApp() {
  delegate_.reset();
  if (parts_->log) parts_->log->flush();
}

}  // namespace velvix
