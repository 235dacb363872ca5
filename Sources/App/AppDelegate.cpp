#include "App/AppDelegate.hpp"

#include <algorithm>
#include <csignal>
#include <vector>

#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Bridge/SafariScriptHost.hpp"
#include "Core/AppMonitor.hpp"
#include "Core/BadgeStore.hpp"
#include "Core/DockController.hpp"
#include "Core/MRUManager.hpp"
#include "Core/MicMute.hpp"
#include "Core/Preferences.hpp"
#include "Core/QuitCleanup.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Input/EventTap.hpp"
#include "Input/SwitcherController.hpp"
#include "Input/TerminalMouseSelection.hpp"
#include "Platform/Application.hpp"
#include "Platform/Linux/InstanceLock.hpp"
#include "Platform/Privacy.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/DebugLog.hpp"
#include "Support/HealthMonitor.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/UpdateChecker.hpp"
#include "Support/VSCodeExtensionInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsWindowController.hpp"

namespace velvix {

AppDelegate::AppDelegate(Services& services)
    : services_(services),
      statusItem_(*services.application, *services.menuBar, *services.preferences, *services.updateChecker,
                  *services.settingsWindow, *services.onboardingWindow),
      mainMenu_(*services.application, *services.menuBar) {
  statusItem_.tapEnabled = [this] { return eventTap_ && eventTap_->isEnabled(); };
  mainMenu_.firstResponder = [this](const std::string& selector) { return performWindowCommand(selector); };
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
  if (quitting_) return;
  // 1-2: the launch line, and only one copy may own the chord. The wait spins the loop, so a quit
  // may arrive during it: then nothing of the launch runs after it.
  services_.log->health("launched");
  if (!terminateOtherInstances() || quitting_) return;
  tookOver_ = true;

  // 3: menus and the updater.
  mainMenu_.install(*this);
  statusItem_.install();
  services_.updateChecker->startUpdater();

  // 4: the browsers' host manifests, what the application keeps in the user's own files (their
  // consent questions wait for the set-up window) and a microphone mute left by an earlier run.
  services_.hostInstaller->install();  // errors only show in its status
  services_.terminalIntegration->reconcileAtLaunch();
  services_.vscodeKeybindings->reconcileAtLaunch();
  services_.vscodeExtension->reconcileAtLaunch();
  services_.micMute->reconcileOwnershipAtLaunch();

  // 5: the inventory and the services that feed it.
  services_.mru->seedRunningApps();
  services_.appMonitor->start();
  services_.browserBridge->start();
  observeBrowserLaunches();
  services_.badges->start();
  services_.dock->applyPreference();

  // 6: the event tap must never be delayed by timer coalescing or napping.
  noNapActivity_ = services_.workspace->beginActivity(kNoNapActivityOptions, kNoNapReason);

  // 7: the chord session, the tap and the health monitor.
  switcher_ = std::make_unique<SwitcherController>(services_);
  eventTap_ = std::make_unique<EventTap>(services_, *switcher_);
  auto watch = alive_.watch();
  eventTap_->onSecureInputChange = [this, watch](bool on, std::optional<std::string> holder) {
    if (!watch.expired()) statusItem_.setSecureInput(on, std::move(holder));
  };
  eventTap_->onTapLost = [this, watch] {
    if (!watch.expired()) startTapWhenPermitted();
  };
  services_.healthMonitor->onFault = [this, watch] {
    if (!watch.expired() && eventTap_) eventTap_->logState();
  };
  services_.healthMonitor->start();

  // 8: settings changes re-apply chord ownership at once; switching the diagnostic log on starts
  // it with a state line. Delivered at the loop's next turn, so the new value is stored by then.
  debugLoggingWasOn_ = services_.preferences->debugLogging.get();
  preferencesWatch_ = services_.preferences->observeWillChange([this, watch](std::string_view) {
    services_.loop->post([this, watch] {
      if (watch.expired() || !eventTap_) return;
      eventTap_->reconcileChordOwnership();
      const bool on = services_.preferences->debugLogging.get();
      if (on && !debugLoggingWasOn_) eventTap_->logState();
      debugLoggingWasOn_ = on;
    });
  });

  // 9: tabs of the running browsers whose scripts are allowed (and Safari's host warmed); 10: the
  // Safari script host.
  seedBrowsersOverAppleEvents();
  services_.safariHost->start();

  // 11-13.
  startTapWhenPermitted();
  services_.thumbnails->seedVisibleWindows();
  showOnboarding();
}

void AppDelegate::seedBrowsersOverAppleEvents() {
  for (Browser browser : browsers::all()) {
    if (!services_.runningApps->first(std::string(browsers::bundleID(browser)))) continue;
    services_.permissions->refreshAutomationStatus(
        browser, [this, watch = alive_.watch(), browser](std::int32_t status) {
          if (watch.expired()) return;
          const std::string name(browsers::rawValue(browser));
          if (status != platform::Privacy::kAutomationGranted) {
            services_.log->log("launch: " + name + " Automation status " + std::to_string(status) +
                               "; its tabs are not scripted");
            return;
          }
          services_.appleScripts->seed(browser);
          if (browser == Browser::safari && services_.safariHost) services_.safariHost->warm();
        });
  }
}

void AppDelegate::showOnboarding() {
  if (!services_.preferences->hasCompletedOnboarding.get()) {
    services_.onboardingWindow->show(OnboardingMode::setup);
  } else if (!services_.privacy->accessibilityTrusted(false) || !services_.privacy->listenEventPreflight()) {
    services_.onboardingWindow->show(OnboardingMode::regrant);
  }
}

// Accessibility may be missing at launch or revoked later: the tap start is retried every 3 s
// until it succeeds, without a restart.
void AppDelegate::startTapWhenPermitted() {
  if (quitting_) return;
  auto tryStart = [this] {
    return !quitting_ && services_.privacy->accessibilityTrusted(false) && eventTap_ && eventTap_->start();
  };
  if (tryStart()) {
    statusItem_.updateIcon(true);
    return;
  }
  statusItem_.updateIcon(false);
  tapRetryTimer_.invalidate();
  tapRetryTimer_ = services_.loop->every(kTapRetryInterval, [this, tryStart] {
    if (!tryStart()) return;
    statusItem_.updateIcon(true);
    tapRetryTimer_.invalidate();
  });
}

// A Chromium-family browser's first launch in a run re-installs the host manifests: the browser
// may have been installed since the application started.
void AppDelegate::observeBrowserLaunches() {
  browserLaunches_ = services_.workspace->notificationCenter().observe(
      platform::WorkspaceNotification::kDidLaunchApplication, *services_.loop,
      [this](const platform::Notification& n) {
        if (!n.userInfo.is_object() || !n.userInfo.contains("bundleID") ||
            !n.userInfo["bundleID"].is_string())
          return;
        const std::string bundleID = n.userInfo["bundleID"].get<std::string>();
        auto browser = browsers::fromBundleID(bundleID);
        if (!browser || !browsers::isChromiumFamily(*browser)) return;
        if (!reinstalledForBrowsers_.insert(bundleID).second) return;
        services_.log->log("browser launched (" + bundleID + "); refreshing host manifests");
        services_.hostInstaller->install();
        services_.browserBridge->refreshExtensionPresence();
      });
}

bool AppDelegate::performWindowCommand(const std::string& selector) {
  platform::Application& app = *services_.application;
  const auto key = app.keyWindow();
  if (!key) return false;
  AppWindow* own = nullptr;
  for (AppWindow* w : {services_.onboardingWindow->window(), services_.settingsWindow->window()})
    if (w && w->number() == *key) own = w;
  if (selector == "performClose:") {
    if (own)
      own->close();
    else
      app.closeWindow(*key);  // the About panel
    return true;
  }
  if (selector == "performMiniaturize:") {
    if (own)
      own->performMiniaturize();
    else
      app.miniaturize(*key);
    return true;
  }
  return false;
}

bool AppDelegate::applicationShouldTerminate() {
  quitting_ = true;
  // A run that quits before it took over from another copy holds nothing of its own: a mute, if
  // any, is the other copy's.
  if (tookOver_)
    QuitCleanup::releaseMicrophoneIfHeld(*services_.micMute, *services_.defaults, *services_.updateChecker,
                                         *services_.application, *services_.log,
                                         eventTap_ && eventTap_->isInputLocked());
  services_.mouseSelection->discardHandoff();
  return true;
}

void AppDelegate::applicationWillTerminate() {
  quitting_ = true;
  tapRetryTimer_.invalidate();
  preferencesWatch_.cancel();
  if (eventTap_) eventTap_->stop();  // gives the system its Command-Tab back
  services_.healthMonitor->markCleanExit();
  services_.log->health("quit");
}

bool AppDelegate::applicationShouldHandleReopen(bool) {
  if (eventTap_ && eventTap_->isEnabled()) {
    services_.settingsWindow->show();
  } else {
    openOnboardingMenuItem();
  }
  return true;
}

void AppDelegate::applicationDidBecomeActive() {
  for (const auto& w : services_.application->windows())
    if (w.visible) return;
  services_.settingsWindow->show();
}

void AppDelegate::openSettingsMenuItem() {
  services_.settingsWindow->show();
}

void AppDelegate::openOnboardingMenuItem() {
  services_.onboardingWindow->show(
      services_.preferences->hasCompletedOnboarding.get() ? OnboardingMode::regrant : OnboardingMode::setup);
}

void AppDelegate::checkForUpdatesMenuItem() {
  services_.application->activate(true);
  services_.updateChecker->checkForUpdates();
}

// Only one copy may own the chord: an older copy is asked to quit and given up to 2 s to go,
// spinning the loop meanwhile. One that refuses is left running and the launch goes on. Copies
// are found in the workspace and, for real processes, through the instance lock of the home
// folder. A real copy is asked with SIGTERM rather than killed: its quit is clean (Command-Tab
// given back, "quit" logged) and bounded by its own 2 s deadline. Only the copy that held the lock
// is asked; when several copies start together and another of them takes the lock it let go,
// that one stays and this one quits, so exactly one copy remains. Answers whether this copy
// goes on.
bool AppDelegate::terminateOtherInstances() {
  platform::Workspace& workspace = *services_.workspace;
  platform::InstanceLock* lock = services_.instanceLock;
  const std::string bundleID = workspace.ownBundleIdentifier();
  std::vector<platform::Pid> others;
  // A bundle without an identifier cannot tell its copies from unrelated programs.
  if (!bundleID.empty())
    for (const auto& app : workspace.runningApplications(bundleID))
      if (app.pid != workspace.ownPid()) others.push_back(app.pid);
  if (others.empty() && (!lock || lock->tryAcquire())) return true;

  for (platform::Pid pid : others) workspace.forceTerminate(pid);
  // The holder's id is written just after it takes the lock: until it can be read, it is looked
  // for again at each turn of the wait.
  std::optional<pid_t> asked;
  std::optional<pid_t> successor;
  auto askHolder = [&] {
    if (asked || !lock || lock->isHeld()) return;
    asked = lock->otherHolder();
    if (!asked) return;
    services_.log->health("another copy is running (pid " + std::to_string(*asked) + "); asking it to quit");
    ::kill(*asked, SIGTERM);
  };
  auto allGone = [&] {
    if (!std::all_of(others.begin(), others.end(),
                     [&](platform::Pid pid) { return workspace.isTerminated(pid); }))
      return false;
    if (!lock || lock->tryAcquire()) return true;
    askHolder();
    if (auto holder = lock->otherHolder(); asked && holder && *holder != *asked) successor = holder;
    return successor.has_value();
  };
  platform::MainLoop& loop = *services_.loop;
  const double deadline = loop.uptime() + kOtherInstancesDeadline;
  askHolder();
  while (!quitting_ && !allGone() && loop.uptime() < deadline) loop.runFor(kOtherInstancesPollSlice);
  if (quitting_) return false;  // "quit" stays the run's last line
  if (successor) {
    services_.log->health("another copy (pid " + std::to_string(*successor) +
                          ") took over from the one asked to quit; quitting");
    services_.application->terminate();
    return false;
  }
  if (lock && !lock->tryAcquire())
    services_.log->health("another copy still holds " + lock->file().string() + " after " +
                          std::to_string(static_cast<int>(kOtherInstancesDeadline)) +
                          " s; running beside it");
  return true;
}

}  // namespace velvix
