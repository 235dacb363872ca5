#pragma once
// What the set-up window shows, without any drawing: the live status of every permission and of
// the two browser extensions (re-read by refresh()), and from it the header texts, the steps in
// order with their detail, whether each is done and what its button does, the restart row and the
// manual load steps. The window redraws from it on every tick.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Privacy.hpp"

namespace velvix {

namespace platform {
class MainLoop;
class SafariExtensionSettings;
}  // namespace platform

class BrowserBridge;
class ChromeSetupPresenter;
enum class OnboardingMode;
class PermissionsService;
class Preferences;
class RunningApps;

struct OnboardingStatus {
  bool accessibility = false;
  bool inputMonitoring = false;
  std::int32_t safariAutomation = platform::Privacy::kAutomationNotRunning;
  std::int32_t chromeAutomation = platform::Privacy::kAutomationNotRunning;
  std::int32_t terminalAutomation = platform::Privacy::kAutomationNotRunning;
  bool chromeConnected = false;
  bool extensionInstalled = false;
  bool safariActive = false;
  bool screenRecording = false;
  bool operator==(const OnboardingStatus&) const = default;
};

// Which step a row is, so the view places its extra rows without reading the displayed titles.
enum class OnboardingStepID {
  accessibility,
  inputMonitoring,
  safariAutomation,
  chromeAutomation,
  terminalAutomation,
  screenRecording,
  chromeExtension,
  safariExtension,
};

struct OnboardingStep {
  OnboardingStepID id;
  std::string symbol;
  std::string title;
  std::string detail;
  bool done = false;
  std::string buttonTitle;
  std::function<void()> action;
};

class OnboardingModel {
 public:
  static constexpr double kSafariActiveWindow = 75.0;
  static constexpr const char* kSafariExtensionID = "com.kolvi.velvix.SafariExtension";
  static constexpr const char* kRestartText =
      "Granted it already? Restart here rather than with macOS's \u201cQuit & Reopen\u201d, which won't "
      "reopen a menu-bar app.";

  // What the steps read their status from and what their buttons do.
  struct Collaborators {
    PermissionsService& permissions;  // the grants, asked for and re-checked
    platform::Privacy& privacy;
    RunningApps& runningApps;      // the browsers whose Automation is re-checked
    BrowserBridge& browserBridge;  // whether the extensions report
    const Preferences& preferences;
    platform::MainLoop& loop;
    ChromeSetupPresenter& chromeSetup;  // the Chrome step's automatic set-up
    platform::SafariExtensionSettings& safariExtensionSettings;
  };

  OnboardingModel(const Collaborators& collaborators, OnboardingMode mode);

  // Re-reads every status; starts background Automation re-checks for the running browsers.
  void refresh();
  const OnboardingStatus& status() const { return status_; }
  OnboardingMode mode() const { return mode_; }

  std::string title() const;
  std::string subtitle() const;
  // The steps shown in this mode, in order.
  std::vector<OnboardingStep> steps() const;
  // The restart row between the permissions and the extensions (while Screen Recording is missing).
  bool showsRestartRow() const { return !status_.screenRecording; }
  void restart();
  // The written load steps after the Chrome Extension step (set-up mode, extension never seen).
  bool showsLoadSteps() const;

  // A distribution-signed build words the Safari step without the local-build advice.
  bool developerIDSigned = false;

 private:
  Collaborators uses_;
  OnboardingMode mode_;
  OnboardingStatus status_;
};

}  // namespace velvix
