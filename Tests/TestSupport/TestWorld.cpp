#include "TestSupport/TestWorld.hpp"

#include <fstream>

#include <unistd.h>

#include "App/DesktopPlatform.hpp"
#include "Platform/Qt/QtImageDecoder.hpp"
#include "Platform/Simulated/SimInProcessScripts.hpp"
#include "Platform/Simulated/SimInputState.hpp"
#include "Platform/Simulated/SimPasteboard.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "Platform/Simulated/SimSecureInputState.hpp"
#include "Support/AppIdentity.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/LogLines.hpp"
#include "UI/OnboardingWindowController.hpp"

namespace velvix::test {
TestWorld::TestWorld() {
  desktop.launchSelf(AppIdentity::kBundleIdentifier, AppIdentity::kName);
  connectPlatform(services_, desktop);
  services_.defaults = &defaults;
  services_.notifications = &notifications;
  services_.backgroundTimers = &backgroundTimers;
  services_.home = home.path();
  services_.ax = &ax;
  services_.windowList = &windowList;
  services_.runningApps = &runningApps;
  services_.appIcons = &appIcons;
  services_.micMute = &micMute;
  services_.updaterFramework = &updaterFramework;
  services_.updateChecker = &updateChecker;
  services_.resources = &resources;
  services_.quarantine = &quarantine;
  services_.messagePorts = &messagePorts;
  services_.menuBar = &menuBar;
  consentTurns_ = std::make_unique<ConsentQuestion::Turns>(
      loop, [this] { return services_.onboardingWindow && services_.onboardingWindow->window(); });
  log();  // the log first: every other service may write to it
}

TestWorld::~TestWorld() {
  vscodeExtension_.reset();
  vscodeKeybindings_.reset();
  terminalIntegration_.reset();
  healthMonitor_.reset();
  systemSwitcherShortcut_.reset();
  favicons_.reset();
  badges_.reset();
  closer_.reset();
  activator_.reset();
  appMonitor_.reset();
  tabMover_.reset();
  scripts_.reset();
  safariHost_.reset();
  bridge_.reset();  // its connections and pending work go before the services they call
  permissions_.reset();
  mru_.reset();
  thumbnails_.reset();
  if (log_) log_->flush();
}

DebugLog& TestWorld::log() {
  if (!log_) {
    log_ = std::make_unique<DebugLog>(SupportFolder::path(home.path()), defaults, loop);
    services_.log = log_.get();
  }
  return *log_;
}

Preferences& TestWorld::preferences() {
  if (!preferences_) {
    preferences_ = std::make_unique<Preferences>(defaults, notifications, desktop.loginItems());
    services_.preferences = preferences_.get();
  }
  return *preferences_;
}

BrowserBridge& TestWorld::browserBridge() {
  if (!bridge_) {
    bridge_ = std::make_unique<BrowserBridge>(services_);
    services_.browserBridge = bridge_.get();
  }
  return *bridge_;
}

ThumbnailStore& TestWorld::thumbnails() {
  if (!thumbnails_) {
    preferences();
    thumbnails_ = std::make_unique<ThumbnailStore>(services_);
    services_.thumbnails = thumbnails_.get();
  }
  return *thumbnails_;
}

MRUManager& TestWorld::mru() {
  if (!mru_) {
    preferences();
    browserBridge();
    thumbnails();
    mru_ = std::make_unique<MRUManager>(services_);
    services_.mru = mru_.get();
  }
  return *mru_;
}

PermissionsService& TestWorld::permissions() {
  if (!permissions_) {
    permissions_ =
        std::make_unique<PermissionsService>(desktop.privacyService(), defaults, desktop.application(),
                                             desktop.workspace(), runningApps, desktop.launcher(), loop);
    services_.permissions = permissions_.get();
  }
  return *permissions_;
}

AppleScriptBridge& TestWorld::appleScripts() {
  if (!scripts_) {
    permissions();
    scripts_ = std::make_unique<AppleScriptBridge>(services_, desktop.scripts());
    services_.appleScripts = scripts_.get();
  }
  return *scripts_;
}

SafariScriptHost& TestWorld::safariHost() {
  if (!safariHost_) {
    safariHost_ = std::make_unique<SafariScriptHost>(desktop.workspace(), runningApps, loop, log(),
                                                     desktop.inProcessScripts());
    services_.safariHost = safariHost_.get();
  }
  return *safariHost_;
}

AppMonitor& TestWorld::appMonitor() {
  if (!appMonitor_) {
    appMonitor_ = std::make_unique<AppMonitor>(services_);
    services_.appMonitor = appMonitor_.get();
  }
  return *appMonitor_;
}

Activator& TestWorld::activator() {
  if (!activator_) {
    activator_ = std::make_unique<Activator>(services_);
    services_.activator = activator_.get();
  }
  return *activator_;
}

Closer& TestWorld::closer() {
  if (!closer_) {
    closer_ = std::make_unique<Closer>(services_);
    services_.closer = closer_.get();
  }
  return *closer_;
}

TabMover& TestWorld::tabMover() {
  if (!tabMover_) {
    tabMover_ = std::make_unique<TabMover>(services_);
    services_.tabMover = tabMover_.get();
  }
  return *tabMover_;
}

ChromeHostInstaller& TestWorld::hostInstaller() {
  if (!hostInstaller_) {
    hostInstaller_ = std::make_unique<ChromeHostInstaller>(resources, desktop.workspace(), quarantine,
                                                           desktop.pasteboard(), log(), home.path());
    services_.hostInstaller = hostInstaller_.get();
  }
  return *hostInstaller_;
}

SystemSwitcherShortcut& TestWorld::systemSwitcherShortcut() {
  if (!systemSwitcherShortcut_) {
    systemSwitcherShortcut_ =
        std::make_unique<SystemSwitcherShortcut>(desktop.symbolicHotKeys(), loop, log());
    services_.systemSwitcherShortcut = systemSwitcherShortcut_.get();
  }
  return *systemSwitcherShortcut_;
}

HealthMonitor& TestWorld::healthMonitor() {
  if (!healthMonitor_) {
    healthMonitor_ = std::make_unique<HealthMonitor>(
        HealthMonitor::Collaborators{.loop = loop,
                                     .backgroundTimers = backgroundTimers,
                                     .input = desktop.inputState(),
                                     .secureInput = desktop.secureInputState(),
                                     .symbolicHotKeys = desktop.symbolicHotKeys(),
                                     .eventTaps = desktop.input(),
                                     .processes = desktop.processes(),
                                     .keyboards = desktop.input(),
                                     .workspace = desktop.workspace(),
                                     .log = log(),
                                     .home = home.path()});
    services_.healthMonitor = healthMonitor_.get();
  }
  return *healthMonitor_;
}

sim::SimHttpClient& TestWorld::http() {
  if (!http_) {
    http_ = std::make_unique<sim::SimHttpClient>(loop);
    services_.http = http_.get();
  }
  return *http_;
}

platform::ImageDecoder& TestWorld::imageDecoder() {
  if (!imageDecoder_) {
    imageDecoder_ = std::make_unique<qt::QtImageDecoder>();
    services_.imageDecoder = imageDecoder_.get();
  }
  return *imageDecoder_;
}

BadgeStore& TestWorld::badges() {
  if (!badges_) {
    preferences();
    appMonitor();
    badges_ = std::make_unique<BadgeStore>(services_);
    services_.badges = badges_.get();
  }
  return *badges_;
}

FaviconStore& TestWorld::favicons() {
  if (!favicons_) {
    favicons_ = std::make_unique<FaviconStore>(http(), imageDecoder());
    services_.favicons = favicons_.get();
  }
  return *favicons_;
}

TerminalIntegrationInstaller& TestWorld::terminalIntegration() {
  if (!terminalIntegration_) {
    preferences();
    terminalIntegration_ =
        std::make_unique<TerminalIntegrationInstaller>(terminalIntegrationCollaborators(*consentTurns_));
    services_.terminalIntegration = terminalIntegration_.get();
  }
  return *terminalIntegration_;
}

VSCodeKeybindingsInstaller& TestWorld::vscodeKeybindings() {
  if (!vscodeKeybindings_) {
    preferences();
    vscodeKeybindings_ =
        std::make_unique<VSCodeKeybindingsInstaller>(vscodeKeybindingsCollaborators(*consentTurns_));
    services_.vscodeKeybindings = vscodeKeybindings_.get();
  }
  return *vscodeKeybindings_;
}

VSCodeExtensionInstaller& TestWorld::vscodeExtension() {
  if (!vscodeExtension_) {
    preferences();
    vscodeExtension_ = std::make_unique<VSCodeExtensionInstaller>(resources, preferences().vscodeTabsEnabled,
                                                                  notifications, loop, log(), home.path());
    services_.vscodeExtension = vscodeExtension_.get();
  }
  return *vscodeExtension_;
}

TerminalIntegrationInstaller::Collaborators TestWorld::terminalIntegrationCollaborators(
    ConsentQuestion::Turns& turns) {
  Preferences& p = preferences();
  return {.application = desktop.application(),
          .notifications = notifications,
          .loop = loop,
          .log = log(),
          .consentTurns = turns,
          .settings = {.terminalEditingKeysEnabled = p.terminalEditingKeysEnabled,
                       .terminalCharSelectEnabled = p.terminalCharSelectEnabled,
                       .terminalMouseSelectEnabled = p.terminalMouseSelectEnabled,
                       .terminalLineDeleteEnabled = p.terminalLineDeleteEnabled,
                       .terminalShellIntegrationAllowed = p.terminalShellIntegrationAllowed,
                       .terminalShellIntegrationAsked = p.terminalShellIntegrationAsked,
                       .hasCompletedOnboarding = p.hasCompletedOnboarding},
          .home = home.path()};
}

VSCodeKeybindingsInstaller::Collaborators TestWorld::vscodeKeybindingsCollaborators(
    ConsentQuestion::Turns& turns) {
  Preferences& p = preferences();
  return {.application = desktop.application(),
          .notifications = notifications,
          .loop = loop,
          .log = log(),
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
          .home = home.path()};
}

Services& TestWorld::services() {
  preferences();
  browserBridge();
  thumbnails();
  mru();
  permissions();
  appleScripts();
  safariHost();
  appMonitor();
  activator();
  closer();
  tabMover();
  hostInstaller();
  systemSwitcherShortcut();
  healthMonitor();
  badges();
  favicons();
  terminalIntegration();
  vscodeKeybindings();
  vscodeExtension();
  return services_;
}

platform::Pid TestWorld::launchWithWindows(const std::string& bundleID, const std::string& name,
                                           const std::vector<std::string>& windowTitles) {
  auto pid = desktop.launch({.bundleID = bundleID, .name = name});
  double offset = 0;
  for (const auto& title : windowTitles) {
    desktop.addWindow(pid, {.title = title, .bounds = {100 + offset, 100 + offset, 800, 600}});
    offset += 20;
  }
  return pid;
}

const SwitchableItem* TestWorld::item(const std::string& id) {
  return mru().find(id);
}

std::vector<std::string> TestWorld::itemIDs() {
  std::vector<std::string> ids;
  for (const auto& e : mru().entries()) ids.push_back(e.id);
  return ids;
}

void TestWorld::runTestProgramUnder(platform::Pid parent) {
  desktop.processes().add(::getpid(), {.parent = parent, .executablePath = "/opt/test/velvix_tests"});
}

std::vector<std::string> TestWorld::healthLines() {
  log().flush();
  return logMessages(log_->healthPath());
}

std::vector<std::string> TestWorld::debugLines() {
  log().flush();
  return logMessages(log_->debugPath());
}

}  // namespace velvix::test
