#include "TestSupport/SettingsCollaborators.hpp"

#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimPrivacy.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix::test {

SettingsView::Collaborators settingsCollaborators(TestWorld& world, Preferences& preferences) {
  Services& services = world.services();
  return {.loop = world.loop,
          .notifications = world.notifications(),
          .preferences = preferences,
          .privacy = world.desktop.privacyService(),
          .permissions = world.permissions(),
          .workspace = world.desktop.workspace(),
          .runningApps = world.runningApps(),
          .browserBridge = world.browserBridge(),
          .thumbnails = world.thumbnails(),
          .accessibilityDisplay = world.desktop.accessibilityDisplay(),
          .resources = *services.resources,
          .hostInstaller = world.hostInstaller(),
          .chromeSetup = *services.chromeSetup,
          .safariExtensionSettings = world.desktop.safariExtensionSettings(),
          .onboardingWindow = *services.onboardingWindow,
          .vscodeExtension = world.vscodeExtension(),
          .vscodeKeybindings = world.vscodeKeybindings(),
          .terminalIntegration = world.terminalIntegration()};
}

SettingsView::Collaborators settingsCollaborators(TestWorld& world) {
  return settingsCollaborators(world, world.preferences());
}

}  // namespace velvix::test
