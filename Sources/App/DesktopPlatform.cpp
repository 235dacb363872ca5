#include "App/DesktopPlatform.hpp"

#include "Core/Services.hpp"
#include "Platform/Simulated/SimAccessibility.hpp"
#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimApplication.hpp"
#include "Platform/Simulated/SimAudioInput.hpp"
#include "Platform/Simulated/SimBundleReader.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Platform/Simulated/SimInProcessScripts.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimInputState.hpp"
#include "Platform/Simulated/SimKeyboardLayout.hpp"
#include "Platform/Simulated/SimLauncher.hpp"
#include "Platform/Simulated/SimLoginItems.hpp"
#include "Platform/Simulated/SimPasteboard.hpp"
#include "Platform/Simulated/SimPrivacy.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Platform/Simulated/SimScreenCapture.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "Platform/Simulated/SimScriptRunner.hpp"
#include "Platform/Simulated/SimSecureInputState.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Platform/Simulated/SimURLOpener.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix {

void connectPlatform(Services& services, sim::SimDesktop& desktop) {
  services.loop = &desktop.loop();
  services.workspace = &desktop.workspace();
  services.loginItems = &desktop.loginItems();
  services.processes = &desktop.processes();
  services.windowServer = &desktop.windowServer();
  services.accessibility = &desktop.accessibility();
  services.privacy = &desktop.privacyService();
  services.application = &desktop.application();
  services.launcher = &desktop.launcher();
  services.scriptRunner = &desktop.scripts();
  services.inProcessScripts = &desktop.inProcessScripts();
  services.bundles = &desktop.bundles();
  services.screens = &desktop.screens();
  services.screenCapture = &desktop.screenCapture();
  services.secureInput = &desktop.secureInputState();
  services.input = &desktop.inputState();
  services.eventTaps = &desktop.input();
  services.hotKeys = &desktop.input();
  services.symbolicHotKeys = &desktop.symbolicHotKeys();
  services.keyboards = &desktop.input();
  services.audioInput = &desktop.microphone();
  services.accessibilityDisplay = &desktop.accessibilityDisplay();
  services.pasteboard = &desktop.pasteboard();
  services.keyboardLayout = &desktop.keyboardLayout();
  services.urlOpener = &desktop.urlOpener();
  services.safariExtensionSettings = &desktop.safariExtensionSettings();
}

}  // namespace velvix
