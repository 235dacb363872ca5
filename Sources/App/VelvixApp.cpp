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
#include "Platform/Simulated/SimExtensionsPage.hpp"
#include "Platform/Simulated/SimInProcessScripts.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimInputState.hpp"
#include "Platform/Simulated/SimKeyboardLayout.hpp"
#include "Platform/Simulated/SimLauncher.hpp"
#include "Platform/Simulated/SimLoginItems.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimPasteboard.hpp"
#include "Platform/Simulated/SimPrivacy.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Platform/Simulated/SimScreenCapture.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "Platform/Simulated/SimSecureInputState.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Platform/Simulated/SimURLOpener.hpp"
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
#include "Support/InputLock.hpp"
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

namespace {

// A part a test world may put in place of the program's own: the given one, or the one built here.
template <typename T>
T& givenOr(T* given, const std::unique_ptr<T>& own) {
  return given ? *given : *own;
}

// The program's site icons: those of the simulated browsers' pages come from the simulation, those
// of real pages from the web (the program runs inside a Qt application).
std::unique_ptr<platform::HttpClient> programWeb(sim::SimDesktop& desktop) {
  auto web =
      std::make_unique<sim::SimWeb>(desktop.loop(), std::make_unique<qt::QtHttpClient>(desktop.loop()));
  web->serveSiteIcons(desktop, &qt::LetteredIcon::siteIconFile);
  return web;
}

void processLogLine(const std::string& line) {
  processLog(line);
}

// What a relay of ours runs: the copy the host installer puts in the support folder (the one the
// browsers' manifests name), the relay the application carries, and the build's own beside the
// program (the same one, unless a test world gives the application other resources).
std::vector<std::filesystem::path> relayPrograms(const std::filesystem::path& home,
                                                 const platform::AppResources& resources) {
  const char* name = ChromeHostInstaller::kRelayName;
  std::vector<std::filesystem::path> programs{SupportFolder::path(home) / name};
  for (const auto& relay : {resources.path(name), platform::FolderResources::besideProgram().path(name)})
    if (relay) programs.push_back(*relay);
  return programs;
}

}  // namespace

// Everything the root owns, in construction order (destroyed in reverse): the one place that
// says what is built from what. The table of services is filled with every part's address before
// the first service is built, so services that use each other find one another; a constructor
// may use only the parts declared above its own.
struct VelvixApp::Parts {
  Parts(sim::SimDesktop& d, VelvixAppOptions o, Services& s, std::function<InputLock*()> inputLock)
      : desktop(d),
        options(std::move(o)),
        services(s),
        chromeSetup(
            {
                .workspace = workspace,
                .accessibility = accessibility,
                .urlOpener = desktop.urlOpener(),
                .pasteboard = desktop.pasteboard(),
                .eventTaps = desktop.input(),
                .keyboardLayout = desktop.keyboardLayout(),
                .loop = desktop.loop(),
                .runningApps = runningApps,
                .hostInstaller = hostInstaller,
                .log = log,
                .isExtensionConnected =
                    [this](Browser browser) { return browserBridge.isChromiumConnected(browser); },
            },
            desktop.screens(), desktop.loop(),
            // Set by the window onto the desktop once it exists, after the parts are built.
            s.placement, std::move(inputLock)) {}

  sim::SimDesktop& desktop;
  const VelvixAppOptions options;
  Services& services;

  // The platform parts a test may swap: each the one the options give, or the program's own.
  platform::WindowServer& windowServer =
      options.windowServer ? *options.windowServer : desktop.windowServer();
  platform::Accessibility& accessibility =
      options.accessibility ? *options.accessibility : desktop.accessibility();
  platform::Workspace& workspace = options.workspace ? *options.workspace : desktop.workspace();
  platform::BundleReader& bundles = options.bundles ? *options.bundles : desktop.bundles();
  std::unique_ptr<platform::UserDefaults> ownSettings =
      options.settings
          ? nullptr
          : std::make_unique<platform::JsonFileDefaults>(settingsFile(options.home), &processLogLine);
  platform::UserDefaults& defaults = givenOr(options.settings, ownSettings);
  // Relays started by real browsers connect to the socket: their lineage is real.
  std::unique_ptr<platform::ProcessTable> ownProcesses =
      options.processes
          ? nullptr
          : std::make_unique<ProgramProcessTable>(desktop.processes(), options.simulatedSocketPeers);
  platform::ProcessTable& processes = givenOr(options.processes, ownProcesses);
  std::unique_ptr<platform::BackgroundTimers> ownTimers =
      options.backgroundTimers ? nullptr : std::make_unique<platform::ThreadBackgroundTimers>();
  platform::BackgroundTimers& backgroundTimers = givenOr(options.backgroundTimers, ownTimers);
  // The Safari handler's message port is real: a socket in a private folder of the support folder.
  std::unique_ptr<platform::MessagePorts> ownMessagePorts =
      options.messagePorts
          ? nullptr
          : std::make_unique<platform::UnixMessagePorts>(
                desktop.loop(), portchannel::portsFolder(options.home.string()), &processLogLine);
  platform::MessagePorts& messagePorts = givenOr(options.messagePorts, ownMessagePorts);
  std::unique_ptr<platform::Quarantine> ownQuarantine =
      options.quarantine ? nullptr : std::make_unique<platform::LinuxQuarantine>();
  platform::Quarantine& quarantine = givenOr(options.quarantine, ownQuarantine);
  std::unique_ptr<platform::HttpClient> ownHttp = options.http ? nullptr : programWeb(desktop);
  platform::HttpClient& http = givenOr(options.http, ownHttp);
  std::unique_ptr<platform::ImageDecoder> ownImageDecoder =
      options.imageDecoder ? nullptr : std::make_unique<qt::QtImageDecoder>();
  platform::ImageDecoder& imageDecoder = givenOr(options.imageDecoder, ownImageDecoder);
  platform::FolderResources resources = options.resources.empty()
                                            ? platform::FolderResources::besideProgram()
                                            : platform::FolderResources(options.resources);
  platform::NotificationCenter notifications;
  qt::SimDesktopPicture desktopPicture{desktop};  // what glass panels blur
  sim::SimMenuBar menuBar{[&desktop = desktop] { desktop.noteChanged(); }};
  sim::SimUpdater updaterFramework{desktop.loop()};  // no update framework on Linux
  const bool wired = wire();

  // The services, each after what its constructor uses.
  DebugLog log{SupportFolder::path(options.home), defaults, desktop.loop()};
  AXWindowBridge ax{accessibility, desktop.loop()};
  WindowList windowList{windowServer, workspace, ax};
  RunningApps runningApps{workspace, desktop.processes()};
  Preferences preferences{defaults, notifications, desktop.loginItems()};
  ThumbnailStore thumbnails{{.workspace = workspace,
                             .windowServer = windowServer,
                             .windowList = windowList,
                             .screenCapture = desktop.screenCapture(),
                             .screens = desktop.screens(),
                             .privacy = desktop.privacyService(),
                             .secureInput = desktop.secureInputState(),
                             .preferences = preferences,
                             .mru = mru,  // built after the store; its constructor does not call it
                             .notifications = notifications,
                             .loop = desktop.loop(),
                             .log = log}};
  BrowserBridge browserBridge{{.home = options.home,
                               .relayPrograms = relayPrograms(options.home, resources),
                               .messagePorts = messagePorts,
                               .processes = processes,
                               .workspace = workspace,
                               .bundles = bundles,
                               .runningApps = runningApps,
                               .preferences = preferences,
                               .mru = mru,
                               .tabMover = tabMover,
                               .appleScripts = appleScripts,
                               .notifications = notifications,
                               .loop = desktop.loop(),
                               .log = log}};
  MRUManager mru{{
      .loop = desktop.loop(),
      .workspace = workspace,
      .processes = processes,
      .notifications = notifications,
      .log = log,
      .preferences = preferences,
      .windowList = windowList,
      .ax = ax,
      .runningApps = runningApps,
      .thumbnails = thumbnails,
      .browserBridge = browserBridge,
      .appleScripts = appleScripts,  // the parts below: called only once all are built
      .permissions = permissions,
      .appMonitor = appMonitor,
  }};
  platform::Launcher& launcher = options.launcher ? *options.launcher : desktop.launcher();
  PermissionsService permissions{desktop.privacyService(),
                                 defaults,
                                 desktop.application(),
                                 workspace,
                                 runningApps,
                                 launcher,
                                 desktop.loop()};
  AppleScriptBridge appleScripts{{.scriptRunner = desktop.scripts(),
                                  .safariHost = safariHost,
                                  .workspace = workspace,
                                  .runningApps = runningApps,
                                  .ax = ax,
                                  .permissions = permissions,
                                  .browserBridge = browserBridge,
                                  .mru = mru,
                                  .loop = desktop.loop(),
                                  .log = log}};
  SafariScriptHost safariHost{workspace, runningApps, desktop.loop(), log, desktop.inProcessScripts()};
  AppIcon appIcons{workspace, bundles};
  MicMute micMute{desktop.microphone(), defaults};
  UpdateChecker updateChecker{updaterFramework};
  AppMonitor appMonitor{{.workspace = workspace,
                         .windowList = windowList,
                         .ax = ax,
                         .input = desktop.inputState(),
                         .runningApps = runningApps,
                         .browserBridge = browserBridge,
                         .appleScripts = appleScripts,
                         .permissions = permissions,
                         .preferences = preferences,
                         .mru = mru,
                         .thumbnails = thumbnails,
                         .loop = desktop.loop()}};
  Activator activator{{.workspace = workspace,
                       .runningApps = runningApps,
                       .windowList = windowList,
                       .ax = ax,
                       .application = desktop.application(),
                       .browserBridge = browserBridge,
                       .appleScripts = appleScripts,
                       .input = desktop.inputState(),
                       .mru = mru,
                       .appMonitor = appMonitor,
                       .loop = desktop.loop(),
                       .log = log}};
  Closer closer{workspace, runningApps, ax, browserBridge, appleScripts, log};
  TabMover tabMover{browserBridge, log, desktop.loop()};
  RealChromiumMirror realChromium{{.desktop = desktop,
                                   .notifications = notifications,
                                   .browserBridge = browserBridge,
                                   .mru = mru,
                                   .runningApps = runningApps,
                                   .processes = processes,
                                   .loop = desktop.loop(),
                                   .log = log,
                                   .placement = services.placement}};
  ChromeHostInstaller hostInstaller{resources, workspace,   quarantine, desktop.pasteboard(),
                                    log,       options.home};
  SystemSwitcherShortcut systemSwitcherShortcut{desktop.symbolicHotKeys(), desktop.loop(), log};
  HealthMonitor healthMonitor{{
      .loop = desktop.loop(),
      .backgroundTimers = backgroundTimers,
      .input = desktop.inputState(),
      .secureInput = desktop.secureInputState(),
      .symbolicHotKeys = desktop.symbolicHotKeys(),
      .eventTaps = desktop.input(),
      .processes = processes,
      .keyboards = desktop.input(),
      .workspace = workspace,
      .log = log,
      .home = options.home,
  }};
  BadgeStore badges{accessibility, bundles, workspace, appMonitor, preferences, desktop.loop()};
  FaviconStore favicons{http, imageDecoder};
  // The Dock controller's panels, which outlive it.
  DockPreviewPanel dockCards{desktop.loop(), desktop.screens(), desktop.accessibilityDisplay(),
                             services.placement};
  WindowPeekPanel windowPeek{desktop.loop(), desktop.screens(), services.placement};
  DockController dock{services, dockCards, windowPeek};
  TerminalEditingKeys terminalKeys{preferences, workspace, accessibility, mouseSelection, desktop.loop()};
  TerminalMouseSelection mouseSelection{accessibility, desktop.input(), workspace, log, options.home};
  MicFeedbackHUD micHUD{desktop.loop(), desktop.screens(), desktop.accessibilityDisplay(), &desktopPicture,
                        services.placement};
  SettingsWindowController settingsWindow{{
      .application = desktop.application(),
      .mru = mru,
      .screens = desktop.screens(),
      .screenPlacement = services.placement,
      .settings = {.loop = desktop.loop(),
                   .notifications = notifications,
                   .preferences = preferences,
                   .privacy = desktop.privacyService(),
                   .permissions = permissions,
                   .workspace = workspace,
                   .runningApps = runningApps,
                   .browserBridge = browserBridge,
                   .thumbnails = thumbnails,
                   .accessibilityDisplay = desktop.accessibilityDisplay(),
                   .resources = resources,
                   .hostInstaller = hostInstaller,
                   .chromeSetup = chromeSetup,
                   .safariExtensionSettings = desktop.safariExtensionSettings(),
                   .onboardingWindow = onboardingWindow,
                   .vscodeExtension = vscodeExtension,
                   .vscodeKeybindings = vscodeKeybindings,
                   .terminalIntegration = terminalIntegration},
  }};
  OnboardingWindowController onboardingWindow{{
      .application = desktop.application(),
      .workspace = workspace,
      .mru = mru,
      .screens = desktop.screens(),
      .accessibilityDisplay = desktop.accessibilityDisplay(),
      .screenPlacement = services.placement,
      .preferences = preferences,
      .vscodeKeybindings = vscodeKeybindings,
      .terminalIntegration = terminalIntegration,
      .steps = {.permissions = permissions,
                .privacy = desktop.privacyService(),
                .runningApps = runningApps,
                .browserBridge = browserBridge,
                .preferences = preferences,
                .loop = desktop.loop(),
                .chromeSetup = chromeSetup,
                .safariExtensionSettings = desktop.safariExtensionSettings()},
  }};
  std::unique_ptr<platform::InstanceLock> instanceLock =
      options.singleInstanceLock ? std::make_unique<platform::InstanceLock>(
                                       SupportFolder::path(options.home) / platform::InstanceLock::kFileName)
                                 : nullptr;
  // The installers' consent questions take turns, and wait while the set-up window is open.
  ConsentQuestion::Turns consentTurns{desktop.loop(),
                                      [this] { return onboardingWindow.window() != nullptr; }};
  TerminalIntegrationInstaller terminalIntegration{terminalIntegrationCollaborators(services, consentTurns)};
  VSCodeKeybindingsInstaller vscodeKeybindings{vscodeKeybindingsCollaborators(services, consentTurns)};
  VSCodeExtensionInstaller vscodeExtension{
      resources, preferences.vscodeTabsEnabled, notifications, desktop.loop(), log, options.home};
  ChromeSetupPresenter chromeSetup;
  // A simulated browser runs the extension its extensions page loads, connected to the bridge as
  // the real one is through its relay. A test that shapes the page with a hook of its own keeps it.
  struct ExtensionHook {
    sim::SimExtensionsPage* page = nullptr;
    ~ExtensionHook() {
      if (page) page->onLoadUnpacked = nullptr;
    }
  };
  const ExtensionHook extensionHook = hookLoadedExtension();

  ExtensionHook hookLoadedExtension() {
    sim::SimExtensionsPage& page = desktop.extensionsPage();
    if (page.onLoadUnpacked) return {};
    page.onLoadUnpacked = [this](const std::string&) { runLoadedExtension(); };
    return {&page};
  }

  void runLoadedExtension() {
    const auto pid = desktop.extensionsPage().browser();
    const sim::SimApp* app = pid ? desktop.app(*pid) : nullptr;
    const auto browser = app && app->bundleID ? browsers::fromBundleID(*app->bundleID) : std::nullopt;
    if (!browser || !browsers::isChromiumFamily(*browser)) return;
    const auto relay = SupportFolder::path(options.home) / ChromeHostInstaller::kRelayName;
    const auto connection =
        desktop.startExtension(*pid, std::string(browsers::rawValue(*browser)), relay.string());
    if (!connection) {
      log.log("simulated extension: no socket could be made for it");
      return;
    }
    if (!browserBridge.adopt(connection->fd, connection->relay))
      log.log("simulated extension: the Chrome socket is not running");
  }

  // Every part's address in the table of services.
  bool wire() {
    Services& s = services;
    connectPlatform(s, desktop);
    s.windowServer = &windowServer;
    s.accessibility = &accessibility;
    s.workspace = &workspace;
    s.bundles = &bundles;
    s.launcher = &launcher;
    s.home = options.home;
    s.defaults = &defaults;
    s.processes = &processes;
    s.backgroundTimers = &backgroundTimers;
    s.messagePorts = &messagePorts;
    s.quarantine = &quarantine;
    s.http = &http;
    s.imageDecoder = &imageDecoder;
    s.resources = &resources;
    s.notifications = &notifications;
    s.desktopPicture = &desktopPicture;
    s.menuBar = &menuBar;
    s.updaterFramework = &updaterFramework;
    s.log = &log;
    s.ax = &ax;
    s.windowList = &windowList;
    s.runningApps = &runningApps;
    s.preferences = &preferences;
    s.thumbnails = &thumbnails;
    s.browserBridge = &browserBridge;
    s.mru = &mru;
    s.permissions = &permissions;
    s.appleScripts = &appleScripts;
    s.safariHost = &safariHost;
    s.appIcons = &appIcons;
    s.micMute = &micMute;
    s.updateChecker = &updateChecker;
    s.appMonitor = &appMonitor;
    s.activator = &activator;
    s.closer = &closer;
    s.tabMover = &tabMover;
    s.hostInstaller = &hostInstaller;
    s.systemSwitcherShortcut = &systemSwitcherShortcut;
    s.healthMonitor = &healthMonitor;
    s.badges = &badges;
    s.favicons = &favicons;
    s.dock = &dock;
    s.terminalKeys = &terminalKeys;
    s.mouseSelection = &mouseSelection;
    s.micHUD = &micHUD;
    s.settingsWindow = &settingsWindow;
    s.onboardingWindow = &onboardingWindow;
    s.terminalIntegration = &terminalIntegration;
    s.vscodeKeybindings = &vscodeKeybindings;
    s.vscodeExtension = &vscodeExtension;
    s.chromeSetup = &chromeSetup;
    return true;
  }
};

TerminalIntegrationInstaller::Collaborators VelvixApp::terminalIntegrationCollaborators(
    Services& services, ConsentQuestion::Turns& turns) {
  Preferences& p = *services.preferences;
  return {.application = *services.application,
          .notifications = *services.notifications,
          .loop = *services.loop,
          .log = *services.log,
          .consentTurns = turns,
          .settings = {.terminalEditingKeysEnabled = p.terminalEditingKeysEnabled,
                       .terminalCharSelectEnabled = p.terminalCharSelectEnabled,
                       .terminalMouseSelectEnabled = p.terminalMouseSelectEnabled,
                       .terminalLineDeleteEnabled = p.terminalLineDeleteEnabled,
                       .terminalShellIntegrationAllowed = p.terminalShellIntegrationAllowed,
                       .terminalShellIntegrationAsked = p.terminalShellIntegrationAsked,
                       .hasCompletedOnboarding = p.hasCompletedOnboarding},
          .home = services.home};
}

VSCodeKeybindingsInstaller::Collaborators VelvixApp::vscodeKeybindingsCollaborators(
    Services& services, ConsentQuestion::Turns& turns) {
  Preferences& p = *services.preferences;
  return {.application = *services.application,
          .notifications = *services.notifications,
          .loop = *services.loop,
          .log = *services.log,
          .consentTurns = turns,
          .settings = {.terminalEditingKeysEnabled = p.terminalEditingKeysEnabled,
                       .vscodeTerminalKeysAllowed = p.vscodeTerminalKeysAllowed,
                       .vscodeTerminalKeysAsked = p.vscodeTerminalKeysAsked,
                       .hasCompletedOnboarding = p.hasCompletedOnboarding,
                       .terminalLineJumpEnabled = p.terminalLineJumpEnabled,
                       .terminalLineDeleteEnabled = p.terminalLineDeleteEnabled,
                       .terminalUndoRedoEnabled = p.terminalUndoRedoEnabled,
                       .terminalCutEnabled = p.terminalCutEnabled,
                       .terminalWordSelectEnabled = p.terminalWordSelectEnabled,
                       .terminalLineSelectEnabled = p.terminalLineSelectEnabled},
          .home = services.home};
}

std::filesystem::path VelvixApp::settingsFile(const std::filesystem::path& home) {
  return home / "Library" / "Preferences" / (std::string(AppIdentity::kBundleIdentifier) + ".json");
}

VelvixApp::VelvixApp(sim::SimDesktop& desktop, VelvixAppOptions options)
    : application_(desktop.application()) {
  if (desktop.selfPid() == 0)
    desktop.launchSelf(AppIdentity::kBundleIdentifier, AppIdentity::kName, options.selfPid);
  if (options.paintWindows) {
    // Screen captures show the windows as the desktop's window draws them.
    desktop.windowPainter = [&desktop](std::int64_t number, int width, int height, int margin) {
      return qt::SimWindowPainter::render(desktop, number, width, height, margin);
    };
  }
  // The system's shortcuts outlive the process, as the window server keeps them: a run that dies
  // by a signal switches them back on in this file.
  const auto simulatedState = options.home / ".velvix-simulated-desktop";
  if (auto error = files::createFolders(simulatedState, 0700)) {
    processLog("symbolic hot keys kept in memory: " + *error);
  } else {
    desktop.symbolicHotKeys().useStateFile((simulatedState / "symbolic-hotkeys").string());
    // The microphone is hardware: a mute left on at quit is still on at the next launch.
    if (auto problem = desktop.microphone().useStateFile((simulatedState / "microphone").string()))
      processLog(*problem);
  }
  beforeLaunch_ = std::move(options.beforeLaunch);
  options.beforeLaunch = nullptr;

  parts_ = std::make_unique<Parts>(desktop, std::move(options), services_, [this]() -> InputLock* {
    return delegate_ ? delegate_->eventTap() : nullptr;
  });
  Parts& p = *parts_;
  for (const auto& line : p.preferences.loadProblems()) processLog(line);
  services_.instanceLock = p.instanceLock.get();
  p.updaterFramework.showPanel = [&desktop] {
    desktop.application().orderFrontPanel("Software Update", sim::SimUpdater::kPanelMessage);
  };
  desktop.application().aboutMessage = AppIdentity::nameAndVersion() + "\n" + AboutPanel::kDescription;
  // The set-up window words the Safari step for the kind of build that runs.
  p.onboardingWindow.developerIDSigned = BuildInfo(desktop.codeSigning).isDeveloperIDSigned();
  desktop.application().onTerminate = [this] { terminate(); };
  desktop.shellHandoffFile = p.mouseSelection.handoffPath().string();

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

void VelvixApp::launch() {
  if (beforeLaunch_) beforeLaunch_(services_);
  delegate_->applicationDidFinishLaunching();
}

sim::SimMenuBar& VelvixApp::menuBar() {
  return parts_->menuBar;
}

sim::SimUpdater& VelvixApp::updaterFramework() {
  return parts_->updaterFramework;
}

const qt::SimDesktopPicture& VelvixApp::desktopPicture() const {
  return parts_->desktopPicture;
}

const DockPreviewPanel& VelvixApp::dockCards() const {
  return parts_->dockCards;
}

const WindowPeekPanel& VelvixApp::windowPeek() const {
  return parts_->windowPeek;
}

void VelvixApp::terminate(platform::Application::QuitReason reason) {
  using Reason = platform::Application::QuitReason;
  if (terminated_) {
    // The system's quit (a session ending) while the user's own quit is asking about the
    // microphone answers the question as a system quit does; nobody may be waited for then.
    if (reason != Reason::user && asking_) {
      application_.quitReason = reason;
      application_.dismissModalAlert();
    }
    return;
  }
  terminated_ = true;
  // The reason the clean-up reads, as the system's quit event would carry it.
  if (reason != Reason::user) application_.quitReason = reason;
  asking_ = true;
  delegate_->applicationShouldTerminate();  // always answers: terminate now
  asking_ = false;
  delegate_->applicationWillTerminate();
  if (onQuit) onQuit();
}

VelvixApp::~VelvixApp() {
  delegate_.reset();
  parts_->log.flush();
}

}  // namespace velvix
