#include "UI/OnboardingModel.hpp"

#include "Bridge/BrowserBridge.hpp"
#include "Core/Preferences.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/SafariExtensionSettings.hpp"
#include "Support/Browser.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"
#include "UI/ChromeSetupPresenter.hpp"
#include "UI/OnboardingWindowController.hpp"

namespace velvix {

OnboardingModel::OnboardingModel(const Collaborators& collaborators, OnboardingMode mode)
    : uses_(collaborators), mode_(mode) {}

void OnboardingModel::refresh() {
  PermissionsService& permissions = uses_.permissions;
  for (Browser browser : browsers::all())
    if (uses_.runningApps.first(std::string(browsers::bundleID(browser))))
      permissions.refreshAutomationStatus(browser);
  platform::Privacy& privacy = uses_.privacy;
  status_.accessibility = privacy.accessibilityTrusted(false);
  status_.inputMonitoring = privacy.listenEventPreflight();
  status_.safariAutomation = permissions.automationStatus(Browser::safari);
  status_.chromeAutomation = permissions.automationStatus(Browser::chrome);
  status_.terminalAutomation = permissions.automationStatus(Browser::terminal);
  status_.chromeConnected = uses_.browserBridge.isAnyChromiumConnected();
  const auto lastSafari = uses_.browserBridge.lastSafariEventAt();
  status_.safariActive = lastSafari && uses_.loop.uptime() - *lastSafari < kSafariActiveWindow;
  status_.screenRecording = privacy.screenCapturePreflight();
  uses_.browserBridge.refreshExtensionPresence();
  status_.extensionInstalled = uses_.preferences.chromeExtensionSeen.get();
}

std::string OnboardingModel::title() const {
  return mode_ == OnboardingMode::setup ? "Set Up Velvix" : "Re-grant Permissions";
}

std::string OnboardingModel::subtitle() const {
  if (mode_ == OnboardingMode::setup)
    return "Grant these permissions so tabs and apps can share one switcher. Everything runs in your user "
           "account "
           "\u2014 nothing needs an administrator.";
  return "macOS dropped Velvix's permission grants \u2014 this happens when the app is rebuilt or replaced. "
         "Your "
         "settings are intact; re-grant the missing permissions below to bring the switcher back.";
}

bool OnboardingModel::showsLoadSteps() const {
  return mode_ == OnboardingMode::setup && !status_.extensionInstalled;
}

void OnboardingModel::restart() {
  uses_.permissions.relaunchApp();
}

std::vector<OnboardingStep> OnboardingModel::steps() const {
  // The buttons hold the services themselves, so a step copied out of the model stays good.
  PermissionsService& permissions = uses_.permissions;
  auto automation = [&permissions](Browser browser) {
    return [&permissions, browser] { permissions.requestAutomation(browser); };
  };
  const OnboardingStatus& st = status_;
  std::vector<OnboardingStep> steps = {
      {OnboardingStepID::accessibility, "figure.wave.circle", "Accessibility",
       "Required to intercept the \u2318Tab chord before the system switcher.", st.accessibility,
       "Grant\u2026", [&permissions] { permissions.requestAccessibility(); }},
      {OnboardingStepID::inputMonitoring, "keyboard", "Input Monitoring",
       "Required for the system-wide keyboard event tap.", st.inputMonitoring, "Grant\u2026",
       [&permissions] { permissions.requestInputMonitoring(); }},
      {OnboardingStepID::safariAutomation, "applescript", "Safari Automation",
       "Lets Velvix read and switch Safari tabs via Apple Events.",
       st.safariAutomation == platform::Privacy::kAutomationGranted, "Request\u2026",
       automation(Browser::safari)},
      {OnboardingStepID::chromeAutomation, "applescript", "Chrome Automation",
       "Fallback path for reading and switching Chrome tabs.",
       st.chromeAutomation == platform::Privacy::kAutomationGranted, "Request\u2026",
       automation(Browser::chrome)},
      {OnboardingStepID::terminalAutomation, "apple.terminal", "Terminal Automation",
       "Lets Velvix read and switch Terminal tabs via Apple Events.",
       st.terminalAutomation == platform::Privacy::kAutomationGranted, "Request\u2026",
       automation(Browser::terminal)},
      {OnboardingStepID::screenRecording, "rectangle.on.rectangle", "Screen Recording (optional)",
       "Powers window previews \u2014 the snapshot grid of your windows and tabs. Skip it and the switcher "
       "shows "
       "icons instead; you can turn it on later in Settings \u2192 Previews.",
       st.screenRecording, "Grant\u2026", [&permissions] { permissions.requestScreenRecording(); }},
  };
  if (mode_ != OnboardingMode::setup) return steps;

  std::string chromeDetail = st.chromeConnected ? "Connected."
                             : st.extensionInstalled
                                 ? "Installed \u2014 the browser isn't running."
                                 : "Adds live tab tracking for Chrome, Brave, and Edge. Follow "
                                   "the steps below.";
  steps.push_back({OnboardingStepID::chromeExtension, "puzzlepiece.extension", "Chrome Extension",
                   std::move(chromeDetail), st.extensionInstalled, "Set Up Automatically",
                   [&chromeSetup = uses_.chromeSetup] { chromeSetup.start(); }});
  const std::string safariStart =
      "Enable \u201cVelvix Bridge\u201d in Safari Settings \u2192 Extensions, then under Edit Websites set "
      "Other "
      "Websites to Allow";
  steps.push_back({OnboardingStepID::safariExtension, "puzzlepiece.extension", "Safari Extension",
                   developerIDSigned
                       ? safariStart + " \u2014 until a site is allowed, Safari pauses the extension and the "
                                       "switcher can't see your Safari tabs."
                       : safariStart + ". For local builds, first allow unsigned extensions in Safari\u2019s "
                                       "Develop menu.",
                   st.safariActive, "Open Safari Settings\u2026",
                   [&settings = uses_.safariExtensionSettings] {
                     settings.showPreferencesForExtension(kSafariExtensionID, {});
                   }});
  return steps;
}

}  // namespace velvix
