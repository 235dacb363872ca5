#pragma once
// A fresh simulated world for one test: virtual-time main loop, simulated desktop (with this
// program registered as a running application), in-memory defaults, a temporary home folder, and
// the application over them, built as the program builds itself, with the test's stand-ins for
// the settings store, the web, the resources, the message ports and the quarantine. It is built
// on first use, so a test can shape the stored settings or the desktop before the services that
// read them exist.

#include <memory>

#include "App/VelvixApp.hpp"
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

  // What the test shapes, and what the application is built over in place of the program's own.
  sim::SimMainLoop loop;
  sim::SimDesktop desktop{loop, [this](double seconds) { loop.spend(seconds); }};
  platform::MemoryDefaults defaults;
  TempFolder home;
  sim::SimBackgroundTimers backgroundTimers{loop};
  // The application's resources: the files a test puts into this folder.
  TempFolder resourceFolder;
  sim::SimQuarantine quarantine;
  sim::SimMessagePorts messagePorts;
  sim::SimHttpClient web{loop};  // what a test serves to the application's web requests
  // What the application is built with: the stand-ins above. A test may put more in place before
  // the first part is asked for (the benchmarks time the simulation through stand-ins of theirs).
  VelvixAppOptions options;

  // The application, built by the program's own composition root the first time any of its
  // parts is asked for (not launched): until then a test may shape the stored settings and the
  // desktop that the services read when they are made.
  VelvixApp& app();
  // Destroys the application now: for a world whose own stand-ins, put in `options`, go first.
  void endApp() { app_.reset(); }
  Services& services() { return app().services(); }
  DebugLog& log() { return *services().log; }
  Preferences& preferences() { return *services().preferences; }
  platform::NotificationCenter& notifications() { return *services().notifications; }
  AXWindowBridge& ax() { return *services().ax; }
  WindowList& windowList() { return *services().windowList; }
  RunningApps& runningApps() { return *services().runningApps; }
  AppIcon& appIcons() { return *services().appIcons; }
  MicMute& micMute() { return *services().micMute; }
  sim::SimUpdater& updaterFramework() { return app().updaterFramework(); }
  UpdateChecker& updateChecker() { return *services().updateChecker; }
  sim::SimMenuBar& menuBar() { return app().menuBar(); }
  BrowserBridge& browserBridge() { return *services().browserBridge; }
  ThumbnailStore& thumbnails() { return *services().thumbnails; }
  MRUManager& mru() { return *services().mru; }
  PermissionsService& permissions() { return *services().permissions; }
  AppleScriptBridge& appleScripts() { return *services().appleScripts; }
  SafariScriptHost& safariHost() { return *services().safariHost; }
  AppMonitor& appMonitor() { return *services().appMonitor; }
  Activator& activator() { return *services().activator; }
  Closer& closer() { return *services().closer; }
  TabMover& tabMover() { return *services().tabMover; }
  ChromeHostInstaller& hostInstaller() { return *services().hostInstaller; }
  SystemSwitcherShortcut& systemSwitcherShortcut() { return *services().systemSwitcherShortcut; }
  HealthMonitor& healthMonitor() { return *services().healthMonitor; }
  sim::SimHttpClient& http() { return web; }
  platform::ImageDecoder& imageDecoder() { return *services().imageDecoder; }
  BadgeStore& badges() { return *services().badges; }
  FaviconStore& favicons() { return *services().favicons; }
  TerminalIntegrationInstaller& terminalIntegration() { return *services().terminalIntegration; }
  VSCodeKeybindingsInstaller& vscodeKeybindings() { return *services().vscodeKeybindings; }
  VSCodeExtensionInstaller& vscodeExtension() { return *services().vscodeExtension; }
  // What the world's consent askers are built from, taking their turns among `turns`: a test may
  // build a run of its own of the program's askers over the world's settings.
  TerminalIntegrationInstaller::Collaborators terminalIntegrationCollaborators(
      ConsentQuestion::Turns& turns) {
    return VelvixApp::terminalIntegrationCollaborators(services(), turns);
  }
  VSCodeKeybindingsInstaller::Collaborators vscodeKeybindingsCollaborators(ConsentQuestion::Turns& turns) {
    return VelvixApp::vscodeKeybindingsCollaborators(services(), turns);
  }

  // A running application of the desktop with windows added back to front (the last is in front).
  platform::Pid launchWithWindows(const std::string& bundleID, const std::string& name,
                                  const std::vector<std::string>& windowTitles);

  // The inventory's entry with that id (the first), and the ids of all its entries in order.
  const SwitchableItem* item(const std::string& id);
  std::vector<std::string> itemIDs();

  // The test program, seen through the desktop's process table, becomes the installed relay (or an
  // editor's extension host) run by the application `parent`: the peer check then traces the
  // test's own socket connections to that application.
  void runTestProgramUnder(platform::Pid parent);

  // Lines of health.log / debug.log after flushing the log queue (without time stamps).
  std::vector<std::string> healthLines();
  std::vector<std::string> debugLines();

 private:
  std::unique_ptr<VelvixApp> app_;
};

}  // namespace velvix::test
