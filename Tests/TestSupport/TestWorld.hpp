#pragma once
// A fresh simulated world for one test: virtual-time main loop, simulated desktop (with this
// program registered as a running application), in-memory defaults, notification centre, a
// temporary home folder, and the system's services over them. Services are created on first use,
// so a test can shape the stored settings or the desktop before the service that reads them
// exists; services() creates them all.

#include <memory>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Bridge/SafariScriptHost.hpp"
#include "Core/Activator.hpp"
#include "Core/AppMonitor.hpp"
#include "Core/BadgeStore.hpp"
#include "Core/Closer.hpp"
#include "Core/FaviconStore.hpp"
#include "Core/MRUManager.hpp"
#include "Core/MicMute.hpp"
#include "Core/Preferences.hpp"
#include "Core/Services.hpp"
#include "Core/TabMover.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Core/WindowList.hpp"
#include "Input/SystemSwitcherShortcut.hpp"
#include "Platform/Linux/FolderResources.hpp"
#include "Platform/MemoryDefaults.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Simulated/SimAccessibility.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimAudioInput.hpp"
#include "Platform/Simulated/SimBackgroundTimers.hpp"
#include "Platform/Simulated/SimBundleReader.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimHttpClient.hpp"
#include "Platform/Simulated/SimInProcessScripts.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimLauncher.hpp"
#include "Platform/Simulated/SimLoginItems.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "Platform/Simulated/SimMenuBar.hpp"
#include "Platform/Simulated/SimMessagePorts.hpp"
#include "Platform/Simulated/SimPrivacy.hpp"
#include "Platform/Simulated/SimQuarantine.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Platform/Simulated/SimUpdater.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "Support/AppIcon.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/DebugLog.hpp"
#include "Support/HealthMonitor.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/UpdateChecker.hpp"
#include "Support/VSCodeExtensionInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix::test {

class TestWorld {
 public:
  TestWorld();
  ~TestWorld();

  sim::SimMainLoop loop;
  sim::SimDesktop desktop{loop, [this](double seconds) { loop.spend(seconds); }};
  platform::MemoryDefaults defaults;
  platform::NotificationCenter notifications;
  TempFolder home;
  sim::SimBackgroundTimers backgroundTimers{loop};
  AXWindowBridge ax{desktop.accessibility(), loop};
  WindowList windowList{desktop.windowServer(), desktop.workspace(), ax};
  RunningApps runningApps{desktop.workspace(), desktop.processes()};
  AppIcon appIcons{desktop.workspace(), desktop.bundles()};
  MicMute micMute{desktop.microphone(), defaults};
  sim::SimUpdater updaterFramework{loop};
  UpdateChecker updateChecker{updaterFramework};
  // The application's resources: the files a test puts into this folder.
  TempFolder resourceFolder;
  platform::FolderResources resources{resourceFolder.path()};
  sim::SimQuarantine quarantine;
  sim::SimMessagePorts messagePorts;
  sim::SimMenuBar menuBar;

  DebugLog& log();
  Preferences& preferences();
  BrowserBridge& browserBridge();
  ThumbnailStore& thumbnails();
  MRUManager& mru();
  PermissionsService& permissions();
  AppleScriptBridge& appleScripts();
  SafariScriptHost& safariHost();
  AppMonitor& appMonitor();
  Activator& activator();
  Closer& closer();
  TabMover& tabMover();
  ChromeHostInstaller& hostInstaller();
  SystemSwitcherShortcut& systemSwitcherShortcut();
  HealthMonitor& healthMonitor();
  sim::SimHttpClient& http();
  platform::ImageDecoder& imageDecoder();
  BadgeStore& badges();
  FaviconStore& favicons();
  TerminalIntegrationInstaller& terminalIntegration();
  VSCodeKeybindingsInstaller& vscodeKeybindings();
  VSCodeExtensionInstaller& vscodeExtension();
  // What the world's consent askers are built from, taking their turns among `turns`: a test may
  // build a run of its own of the program's askers over the world's settings.
  TerminalIntegrationInstaller::Collaborators terminalIntegrationCollaborators(ConsentQuestion::Turns& turns);
  VSCodeKeybindingsInstaller::Collaborators vscodeKeybindingsCollaborators(ConsentQuestion::Turns& turns);
  // Every service, created now where not yet.
  Services& services();

  // A running application of the desktop with windows added back to front (the last is in front).
  platform::Pid launchWithWindows(const std::string& bundleID, const std::string& name,
                                  const std::vector<std::string>& windowTitles);

  // The inventory's entry with that id (the first), and the ids of all its entries in order.
  const SwitchableItem* item(const std::string& id);
  std::vector<std::string> itemIDs();

  // The test program, seen through the desktop's process table, becomes a child of the application
  // `parent`: the peer check then traces the test's own socket connections to that application.
  void runTestProgramUnder(platform::Pid parent);

  // Lines of health.log / debug.log after flushing the log queue (without time stamps).
  std::vector<std::string> healthLines();
  std::vector<std::string> debugLines();

 private:
  Services services_;
  std::unique_ptr<ConsentQuestion::Turns> consentTurns_;  // of the world's own consent askers
  std::unique_ptr<DebugLog> log_;
  std::unique_ptr<Preferences> preferences_;
  std::unique_ptr<BrowserBridge> bridge_;
  std::unique_ptr<ThumbnailStore> thumbnails_;
  std::unique_ptr<MRUManager> mru_;
  std::unique_ptr<PermissionsService> permissions_;
  std::unique_ptr<AppleScriptBridge> scripts_;
  std::unique_ptr<SafariScriptHost> safariHost_;
  std::unique_ptr<AppMonitor> appMonitor_;
  std::unique_ptr<Activator> activator_;
  std::unique_ptr<Closer> closer_;
  std::unique_ptr<TabMover> tabMover_;
  std::unique_ptr<ChromeHostInstaller> hostInstaller_;
  std::unique_ptr<SystemSwitcherShortcut> systemSwitcherShortcut_;
  std::unique_ptr<HealthMonitor> healthMonitor_;
  std::unique_ptr<sim::SimHttpClient> http_;
  std::unique_ptr<platform::ImageDecoder> imageDecoder_;
  std::unique_ptr<BadgeStore> badges_;
  std::unique_ptr<FaviconStore> favicons_;
  std::unique_ptr<TerminalIntegrationInstaller> terminalIntegration_;
  std::unique_ptr<VSCodeKeybindingsInstaller> vscodeKeybindings_;
  std::unique_ptr<VSCodeExtensionInstaller> vscodeExtension_;
};

}  // namespace velvix::test
