#include "TestSupport/ProgramWindows.hpp"

#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Platform/Simulated/SimScreens.hpp"

namespace velvix::test {

OnboardingWindowController::Collaborators onboardingCollaborators(TestWorld& world,
                                                                  ChromeSetupPresenter& chromeSetup) {
  Services& services = world.services();
  return {.application = world.desktop.application(),
          .workspace = world.desktop.workspace(),
          .mru = world.mru(),
          .screens = world.desktop.screens(),
          .accessibilityDisplay = world.desktop.accessibilityDisplay(),
          .screenPlacement = services.placement,
          .preferences = world.preferences(),
          .vscodeKeybindings = world.vscodeKeybindings(),
          .terminalIntegration = world.terminalIntegration(),
          .steps = {.permissions = world.permissions(),
                    .privacy = world.desktop.privacyService(),
                    .runningApps = world.runningApps,
                    .browserBridge = world.browserBridge(),
                    .preferences = world.preferences(),
                    .loop = world.loop,
                    .chromeSetup = chromeSetup,
                    .safariExtensionSettings = world.desktop.safariExtensionSettings()}};
}

SettingsView::Collaborators settingsCollaborators(TestWorld& world, ChromeSetupPresenter& chromeSetup,
                                                  OnboardingWindowController& onboardingWindow,
                                                  Preferences& preferences) {
  world.services();
  return {.loop = world.loop,
          .notifications = world.notifications,
          .preferences = preferences,
          .privacy = world.desktop.privacyService(),
          .permissions = world.permissions(),
          .workspace = world.desktop.workspace(),
          .runningApps = world.runningApps,
          .browserBridge = world.browserBridge(),
          .thumbnails = world.thumbnails(),
          .accessibilityDisplay = world.desktop.accessibilityDisplay(),
          .resources = world.resources,
          .hostInstaller = world.hostInstaller(),
          .chromeSetup = chromeSetup,
          .safariExtensionSettings = world.desktop.safariExtensionSettings(),
          .onboardingWindow = onboardingWindow,
          .vscodeExtension = world.vscodeExtension(),
          .vscodeKeybindings = world.vscodeKeybindings(),
          .terminalIntegration = world.terminalIntegration()};
}

SettingsView::Collaborators settingsCollaborators(TestWorld& world, ChromeSetupPresenter& chromeSetup,
                                                  OnboardingWindowController& onboardingWindow) {
  return settingsCollaborators(world, chromeSetup, onboardingWindow, world.preferences());
}

ProgramWindows::ProgramWindows(TestWorld& world)
    : chromeSetup(world.services(), [] { return nullptr; }),
      onboardingWindow(onboardingCollaborators(world, chromeSetup)),
      settingsWindow({.application = world.desktop.application(),
                      .mru = world.mru(),
                      .screens = world.desktop.screens(),
                      .screenPlacement = world.services().placement,
                      .settings = settingsCollaborators(world, chromeSetup, onboardingWindow)}) {}

void ProgramWindows::publish(TestWorld& world) {
  world.services().onboardingWindow = &onboardingWindow;
  world.services().settingsWindow = &settingsWindow;
}

}  // namespace velvix::test
