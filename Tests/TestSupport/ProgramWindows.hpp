#pragma once
// The program's own windows over a test world, made as the program makes them: the set-up window
// and the settings window, with the automatic Chrome set-up both of them start. A test that puts
// them into the world's services (as the program's root does) names them there itself, since
// whether the set-up window exists changes what the launch and the consent questions do.

#include "TestSupport/TestWorld.hpp"
#include "UI/ChromeSetupPresenter.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsView.hpp"
#include "UI/SettingsWindowController.hpp"

namespace velvix::test {

// What the windows are made with in `world`; the settings view may be given a settings store of its
// own (`preferences`) in place of the world's.
OnboardingWindowController::Collaborators onboardingCollaborators(TestWorld& world,
                                                                  ChromeSetupPresenter& chromeSetup);
SettingsView::Collaborators settingsCollaborators(TestWorld& world, ChromeSetupPresenter& chromeSetup,
                                                  OnboardingWindowController& onboardingWindow,
                                                  Preferences& preferences);
SettingsView::Collaborators settingsCollaborators(TestWorld& world, ChromeSetupPresenter& chromeSetup,
                                                  OnboardingWindowController& onboardingWindow);

struct ProgramWindows {
  explicit ProgramWindows(TestWorld& world);

  // The automatic set-up runs without the event tap's input lock here.
  ChromeSetupPresenter chromeSetup;
  OnboardingWindowController onboardingWindow;
  SettingsWindowController settingsWindow;

  // Both windows named in the world's services, as the program's root names them.
  void publish(TestWorld& world);
};

}  // namespace velvix::test
