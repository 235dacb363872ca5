#pragma once
// Loads the application's unpacked browser extension into a Chromium-family browser without the
// user doing it by hand: picks the browser, installs the native-messaging host, exports the
// extension and puts its folder on the clipboard, starts or wakes the browser, switches on its
// Accessibility tree, opens its extensions page, drives the page and the file panel through
// Accessibility and marked key presses (locking the user's input while it types), and waits for
// the extension to connect. One run ends in exactly one Outcome, delivered on the main loop.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Accessibility.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Browser.hpp"

namespace velvix {

class ChromeHostInstaller;
class DebugLog;
class InputLock;
class RunningApps;
namespace platform {
class EventTaps;
class KeyboardLayout;
class MainLoop;
class Pasteboard;
class URLOpener;
class Workspace;
}  // namespace platform

class ChromeAutoInstaller {
 public:
  struct Outcome {
    enum class Kind { connected, alreadyConnected, manual, noBrowser, cancelled };
    Kind kind = Kind::noBrowser;
    std::optional<Browser> browser;
    std::string step;               // manual: what was not done automatically, in lower-case words
    bool folderOnClipboard = true;  // manual: the run got as far as putting the folder path there

    static Outcome connected(Browser browser) { return {Kind::connected, browser, {}}; }
    static Outcome alreadyConnected(Browser browser) { return {Kind::alreadyConnected, browser, {}}; }
    static Outcome manual(Browser browser, std::string step, bool folderOnClipboard = true) {
      return {Kind::manual, browser, std::move(step), folderOnClipboard};
    }
    static Outcome noBrowser() { return {}; }
    static Outcome cancelled() { return {Kind::cancelled, std::nullopt, {}}; }
    bool operator==(const Outcome&) const = default;
  };
  using Completion = std::function<void(const Outcome&)>;

  // Where a run can stop, as the set-up card names it.
  static constexpr const char* kStepAccessibility =
      "Accessibility \u2014 grant it, restart Velvix, then try again";
  static constexpr const char* kStepHelper = "installing the helper: ";
  static constexpr const char* kStepCopy = "copying the extension out of the app";
  static constexpr const char* kStepOpening = "opening ";
  static constexpr const char* kStepExtensionsPage = "opening the extensions page";
  static constexpr const char* kStepLoadUnpacked = "clicking Load unpacked";
  static constexpr const char* kStepFolder = "choosing the folder";
  static constexpr const char* kStepConfirm = "confirming the extension loaded";

  static constexpr const char* kDefaultBrowserProbe = "https://example.com/";
  static constexpr const char* kExtensionsAddress = "chrome://extensions";
  static constexpr double kLaunchWait = 2.0;
  static constexpr double kWarmUpBudget = 12.0;
  static constexpr double kWarmUpInterval = 0.5;
  static constexpr double kPageSettle = 1.5;
  static constexpr double kFirstConnectionCheck = 0.5;
  static constexpr double kConnectionInterval = 0.5;
  static constexpr int kConnectionAttempts = 20;
  static constexpr double kMessagingTimeout = 2.0;
  static constexpr double kControlBudget = 12.0;
  static constexpr double kFieldBudget = 6.0;
  static constexpr double kConfirmBudget = 3.0;
  static constexpr double kDeveloperModeSettle = 1.0;
  static constexpr double kPanelSettle = 0.4;
  static constexpr double kReloadSettle = 1.5;
  static constexpr double kFillSettle = 0.9;
  static constexpr double kConfirmSettle = 0.4;
  static constexpr double kInputLock = 15.0;
  static constexpr int kPageAttempts = 2;

  // What a run drives and asks. `isExtensionConnected` tells whether the browser's extension has
  // connected to the application; the browser bridge, built above this, knows.
  struct Collaborators {
    platform::Workspace& workspace;            // which browsers are installed; launching, bringing forward
    platform::Accessibility& accessibility;    // the page and the file panel
    platform::URLOpener& urlOpener;            // the default browser; opening the extensions page
    platform::Pasteboard& pasteboard;          // takes the exported folder's path
    platform::EventTaps& eventTaps;            // the marked key presses
    platform::KeyboardLayout& keyboardLayout;  // which keys type the letters of the shortcuts
    platform::MainLoop& loop;
    RunningApps& runningApps;
    ChromeHostInstaller& hostInstaller;  // the relay, its manifests and the exported extension
    DebugLog& log;
    std::function<bool(Browser)> isExtensionConnected;
  };

  explicit ChromeAutoInstaller(Collaborators collaborators)
      : workspace_(collaborators.workspace),
        accessibility_(collaborators.accessibility),
        urlOpener_(collaborators.urlOpener),
        pasteboard_(collaborators.pasteboard),
        eventTaps_(collaborators.eventTaps),
        keyboardLayout_(collaborators.keyboardLayout),
        loop_(collaborators.loop),
        runningApps_(collaborators.runningApps),
        hostInstaller_(collaborators.hostInstaller),
        log_(collaborators.log),
        isExtensionConnected_(std::move(collaborators.isExtensionConnected)) {}
  ChromeAutoInstaller(const ChromeAutoInstaller&) = delete;
  ChromeAutoInstaller& operator=(const ChromeAutoInstaller&) = delete;

  // Starts one run with the application's event tap (or none). While an installed browser's
  // extension is connected (a real chromium's among them) the run ends at once, saying so. Returns at once;
  // the completion is called exactly once, on the main loop, never before this returns.
  void run(InputLock* inputLock, Completion completion);

  // The installed Chromium-family browsers in table order, and the one a run targets: the
  // default web browser when it is one of them, else the first.
  std::vector<Browser> installedChromiums() const;
  std::optional<Browser> installedChromium() const;

 private:
  // One run: its browser, the exported folder and its one completion.
  struct Run {
    Browser browser = Browser::chrome;
    std::string folder;
    bool folderOnClipboard = false;
    Completion completion;
    bool finished = false;
  };
  using RunPtr = std::shared_ptr<Run>;

  // ---- run and outcome
  void launchBrowser(const RunPtr& run);
  void warmUp(const RunPtr& run, platform::Pid pid, double deadline);
  void pollPageTree(const RunPtr& run, platform::Pid pid, double deadline);
  void openExtensionsPage(const RunPtr& run, platform::Pid pid);
  void afterPanel(const RunPtr& run, bool filled);
  void waitForConnection(const RunPtr& run, int attempt);
  void finish(const RunPtr& run, Outcome outcome);

  // ---- driving the extensions page and the file panel
  void driveExtensionsPage(const RunPtr& run, platform::Pid pid, int attempt);
  void enableDeveloperMode(const RunPtr& run, platform::Pid pid, std::function<void()> next);
  void pressLoadUnpacked(const RunPtr& run, platform::Pid pid, std::function<void(platform::AXElement)> next);
  void waitForOpenPanel(const RunPtr& run, platform::Pid pid, std::function<void(platform::AXElement)> next);
  void fillOpenPanel(const RunPtr& run, platform::AXElement panel);
  // `next` is told whether the panel was confirmed; an aborted lock leaves it unconfirmed.
  void pressOpen(const RunPtr& run, platform::AXElement panel, std::shared_ptr<bool> aborted,
                 std::function<void(bool)> next);
  bool inputLockable() const;
  platform::AXElement applicationElement(platform::Pid pid);
  // Runs `step` on the main loop after `seconds`, while this installer exists.
  void later(double seconds, std::function<void()> step);
  void log(const std::string& line) const;

  platform::Workspace& workspace_;
  platform::Accessibility& accessibility_;
  platform::URLOpener& urlOpener_;
  platform::Pasteboard& pasteboard_;
  platform::EventTaps& eventTaps_;
  platform::KeyboardLayout& keyboardLayout_;
  platform::MainLoop& loop_;
  RunningApps& runningApps_;
  ChromeHostInstaller& hostInstaller_;
  DebugLog& log_;
  std::function<bool(Browser)> isExtensionConnected_;
  InputLock* inputLock_ = nullptr;  // of the latest run
  bool userCancelled_ = false;
  AliveToken alive_;
};

}  // namespace velvix
