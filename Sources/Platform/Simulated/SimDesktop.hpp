#pragma once
// The simulated desktop: one world that owns every simulated application, window, display and
// Space, and the facades that implement the platform interfaces over it, so a window's number,
// title, bounds and minimized state agree whichever interface is asked. Everything happens on the
// main loop's clock; a blocking call (an Accessibility message) costs its latency in virtual time.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "Platform/Geometry.hpp"
#include "Platform/InputState.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/Simulated/SimCodeSigning.hpp"
#include "Platform/Simulated/SimTextArea.hpp"
#include "Platform/WindowServer.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::sim {

class SimAccessibility;
class SimAccessibilityDisplay;
class SimDock;
class SimExtensionsPage;
class SimKeyboardLayout;
class SimPasteboard;
class SimURLOpener;
class SimSafariExtensionSettings;
class SimChromiumExtension;
class SimDesktopProcessTable;
class SimBundleReader;
class SimScreenCapture;
class SimScreens;
class SimSecureInputState;
class SimInputState;
class SimInput;
class SimAudioInput;
class SimSymbolicHotKeys;
class SimApplication;
class SimLauncher;
class SimLoginItems;
class SimPrivacy;
class SimWindowServer;
class SimWorkspace;
class SimScriptRunner;
class SimInProcessScripts;

// One simulated application process.
struct SimApp {
  platform::Pid pid = 0;
  std::optional<std::string> bundleID;
  std::optional<std::string> name;
  std::optional<std::string> bundlePath;
  platform::ActivationPolicy activationPolicy = platform::ActivationPolicy::Regular;
  bool terminated = false;
  bool hidden = false;
  bool finishedLaunching = true;
  // How it answers a force-terminate: quits after `quitDelay` seconds, or never.
  bool ignoresTermination = false;
  double quitDelay = 0.2;
  // Accessibility: each message costs `axLatency`; an unresponsive application answers nothing
  // and every message costs the element's whole messaging time-out.
  double axLatency = 0.001;
  bool axUnresponsive = false;
  std::set<std::string> failingAttributes;  // copy and set of these fail
  std::set<std::string> failingActions;
};

struct AppSpec {
  std::string bundleID;
  std::string name;
  bool ignoresTermination = false;
  double quitDelay = 0.2;
  platform::ActivationPolicy activationPolicy = platform::ActivationPolicy::Regular;
  std::optional<platform::Pid> pid;  // made up when absent
};

// One tab of a simulated browser or terminal window.
struct SimTab {
  std::int64_t id = 0;  // the extension's tab id
  std::string title;
  std::string url;  // for a terminal tab: the tty of its shell
  std::optional<std::string> favIconURL;
  bool busy = false;  // a terminal tab running a command
};

// One simulated window.
struct SimWindow {
  std::int64_t number = 0;
  platform::Pid owner = 0;
  std::optional<std::string> title;  // nothing: the window has no name at all
  Rect bounds;
  int layer = 0;
  bool minimized = false;
  double alpha = 1.0;
  std::vector<std::uint64_t> spaces;  // empty: shown on every Space
  bool inAccessibility = true;        // listed among its application's Accessibility windows
  bool numberReadable = true;         // the window-number query answers for it
  bool hasCloseButton = true;
  // Browser and terminal windows: their tabs, the active one, and whether the window is private.
  std::vector<SimTab> tabs;
  std::size_t activeTab = 0;
  bool isPrivate = false;
  // The name scripts see, when it differs from the title (Safari's private windows carry a
  // suffix in their title that their script name lacks).
  std::optional<std::string> scriptName;
  // Screen capture: whether it is offered for capture, fails, and how its pictures look (a
  // transparent margin in points around the content, or nothing opaque at all).
  bool shareable = true;
  bool captureFails = false;
  double captureMargin = 0;
  bool transparentContent = false;
  // A terminal window's text, as Accessibility shows it (window > scroll area > text area).
  std::optional<SimTextArea> textArea;
  // A panel's own words, drawn in place of the placeholder lines of text.
  std::string message;
  // A window of the system's settings: the privacy pane it shows (SimSystemSettings).
  std::string settingsPane;
};

struct WindowSpec {
  std::optional<std::string> title = std::string("Untitled");
  Rect bounds{100, 100, 800, 600};
  int layer = 0;
  bool minimized = false;
  std::optional<std::uint64_t> space;  // default: the main display's current Space
  bool inAccessibility = true;
  bool numberReadable = true;
  bool hasCloseButton = true;
};

struct SimDisplay {
  std::uint32_t id = 1;
  Rect frame{0, 0, 1440, 900};  // top-left origin, global coordinates
  double backingScale = 2.0;
  std::uint64_t currentSpace = 1;
  std::vector<std::uint64_t> spaces{1};
};

// The privacy permissions of this program, and what their prompts did.
struct SimPrivacyState {
  platform::ListenEventAccess listenEvent = platform::ListenEventAccess::granted;
  bool screenCapture = true;
  // Automation status per target bundle; a bundle without an entry has not been decided yet.
  std::map<std::string, std::int32_t> automation;
  double automationLatency = 0.05;  // how long one Automation query takes
  int automationQueries = 0;
  // "accessibility", "listenEvent", "screenCapture", "automation:<bundle id>": prompts shown.
  std::vector<std::string> prompts;
};

// An application that is installed but need not be running.
struct InstalledApp {
  std::string bundleID;
  std::string name;
  std::string path;
  double launchTime = 0.5;  // from open to finished launching
};

// Secure event input, as a password field holds it. Whether it is on is asked from any thread.
struct SimSecureInput {
  std::atomic<bool> enabled{false};
  std::optional<platform::Pid> holder;  // main thread only
};

// Faults of the window server that tests switch on.
struct WindowServerFaults {
  bool windowListFails = false;
  std::vector<platform::WindowRow> extraRows;  // raw rows put in front of the real ones
  bool displaySpacesFail = false;
  std::set<std::int64_t> windowSpacesFail;
};

class SimDesktop {
 public:
  // `spendTime` advances the clock for time that passes inside a blocking call (virtual time in
  // tests); without it such time is not accounted.
  explicit SimDesktop(platform::MainLoop& loop, std::function<void(double)> spendTime = {});
  ~SimDesktop();
  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  // ---- threads
  // The simulated desktop belongs to the main thread, except what the real platform lets any
  // thread ask: the process table (the applications and the extra processes: pids, names,
  // bundle paths, whether they ended), this program's pid, whether secure input is on, the
  // symbolic hot keys, the input state, event taps and keyboards. The rule for the process table:
  // it changes only on the main thread and only under `lockForChange()`; other threads read it
  // under `lockForReading()`; the main thread reads it without a lock. State added later that
  // other threads ask about follows the same rule, or is a lock-free atomic.
  [[nodiscard]] std::unique_lock<std::shared_mutex> lockForChange() const {
    return std::unique_lock(processTableMutex_);
  }
  [[nodiscard]] std::shared_lock<std::shared_mutex> lockForReading() const {
    return std::shared_lock(processTableMutex_);
  }

  platform::MainLoop& loop() { return loop_; }
  const platform::MainLoop& loop() const { return loop_; }
  void spend(double seconds) const {
    if (spendTime_ && seconds > 0) spendTime_(seconds);
  }

  // ---- changes, for what draws the desktop
  // Grows with every change the screen may show: each operation of the desktop that changes it,
  // and each mutable look at a window, an application, the displays or a Dock icon (whoever takes
  // one may write to it). What draws the desktop draws again when it moved, and looks at nothing
  // in between, however many windows there are.
  std::uint64_t revision() const { return revision_.load(std::memory_order_relaxed); }
  void noteChanged();
  // `changed` runs at every change, on the main thread, inside the change: it should only mark
  // work for later. The watch lasts while the returned handle lives.
  [[nodiscard]] std::shared_ptr<void> watchChanges(std::function<void()> changed);

  // ---- processes and applications
  platform::Pid launch(const AppSpec& spec);
  // Registers this program itself as a running application of the desktop.
  // `pid`: the id to run under (the program's real one) unless a simulated process has it.
  platform::Pid launchSelf(const std::string& bundleID, const std::string& name = "Velvix",
                           std::optional<platform::Pid> pid = std::nullopt);
  // The process ends: its windows go away.
  void terminate(platform::Pid pid);
  SimApp* app(platform::Pid pid);
  const SimApp* app(platform::Pid pid) const;
  std::vector<const SimApp*> apps() const;  // running ones, by pid
  // The running ones with that bundle id, by pid, found in a hashed index of the bundle id each
  // launched with (one whose bundle id was changed afterwards is found under neither).
  std::vector<const SimApp*> apps(const std::string& bundleID) const;
  platform::Pid selfPid() const { return selfPid_; }
  std::optional<platform::Pid> frontmostPid() const { return frontmost_; }
  // Makes the application frontmost and brings its front window to the front of the screen.
  void activate(platform::Pid pid);
  // The application resigns the front; nothing is frontmost until the next activation.
  void deactivate(platform::Pid pid);

  // ---- installed applications
  void install(const InstalledApp& app) { installed_.push_back(app); }
  const std::vector<InstalledApp>& installed() const { return installed_; }
  // Opens an installed application: it runs at once and finishes launching after its launch time.
  std::optional<platform::Pid> open(const std::string& path, bool activates);

  // ---- sleep and the lock screen
  // The system hands a session back from sleep or the lock screen with its event taps switched
  // off, quietly: an application that wants its tap must switch it on again when told of the wake
  // or the unlock. A wake without a sleep, or an unlock without a lock, does nothing.
  void sleep();
  void wake();
  void lockScreen();
  void unlockScreen();
  bool isAsleep() const { return asleep_; }
  bool isScreenLocked() const { return screenLocked_; }

  // ---- windows, front to back
  std::int64_t addWindow(platform::Pid owner, const WindowSpec& spec = {});
  SimWindow* window(std::int64_t number);
  const SimWindow* window(std::int64_t number) const;
  const std::vector<std::int64_t>& stackingOrder() const { return stack_; }
  std::vector<std::int64_t> windowsOf(platform::Pid pid) const;  // front to back
  // The same, without a copy: valid until a window of the desktop is added, closed or raised.
  const std::vector<std::int64_t>& windowOrderOf(platform::Pid pid) const;
  void raiseWindow(std::int64_t number);  // to the front of the screen
  void setMinimized(std::int64_t number, bool minimized);
  void closeWindow(std::int64_t number);
  // What a click does on the desktop: a Dock icon activates its application (a minimized
  // window's tile brings the window back), a window comes to the front with its application.
  void clickAt(Point point);
  bool isOnScreen(const SimWindow& window) const;

  // ---- tabs (the window's title follows its active tab)
  std::int64_t addTab(std::int64_t window, SimTab tab, bool activate = true);
  void activateTab(std::int64_t window, std::size_t index);
  void closeTab(std::int64_t window, std::size_t index);

  // ---- Apple Events scripts: how long a run takes, and applications whose scripts fail or hang
  double scriptLatency = 0.05;
  std::set<std::string> failingScripts;  // bundle ids
  std::set<std::string> hangingScripts;  // bundle ids: killed at the time limit
  int scriptRuns = 0;

  // ---- displays and Spaces
  std::vector<SimDisplay>& displays() {
    noteChanged();
    return displays_;
  }
  const std::vector<SimDisplay>& displays() const { return displays_; }
  void switchSpace(std::size_t display, std::uint64_t space);
  // Activating an application none of whose windows shows on a current Space brings forward the
  // Space of its front window, as the system does.
  void switchToSpaceOf(platform::Pid pid);

  // ---- screen capture
  double captureLatency = 0.02;
  bool shareableContentFails = false;
  int screenshotsTaken = 0;
  // A still of the window at the requested size, with its transparent margin, or nothing when
  // the window is gone. Drawn by `windowPainter` (the renderer the desktop's window draws its
  // windows with) when one is installed, else in a flat colour of the window.
  std::optional<RGBAImage> renderWindow(std::int64_t number, int width, int height) const;
  // Draws window `number` at width × height pixels, its content inset by `margin` pixels.
  std::function<std::optional<RGBAImage>(std::int64_t number, int width, int height, int margin)>
      windowPainter;

  // Draws the icon of an application bundle from its name, the `ordinal`-th bundle asked for (so
  // icons asked for side by side, as the Dock's, differ in colour). Installed by the window that
  // shows the desktop; without it icons are flat squares.
  std::function<RGBAImage(const std::string& name, int ordinal)> iconArt;

  // ---- the pointer (global top-left coordinates)
  Point pointer() const { return pointer_; }
  // Moves the pointer, telling whoever watches it as the system's mouse-moved events would.
  void movePointer(Point at) {
    pointer_ = at;
    if (pointerMoved) {
      const auto handler = pointerMoved;  // the handler may replace itself
      handler(at);
    }
  }
  std::function<void(Point)> pointerMoved;

  // ---- input: when the user last produced each kind of event (monotonic clock)
  void noteInput(platform::InputEventType type) { lastInputAt_[static_cast<int>(type)] = loop_.uptime(); }
  double lastInputAt(platform::InputEventType type) const { return lastInputAt_[static_cast<int>(type)]; }
  // Every kind of event happened `seconds` ago.
  void setIdle(double seconds) {
    for (double& t : lastInputAt_) t = loop_.uptime() - seconds;
  }

  // ---- platform state
  bool accessibilityTrusted = true;
  SimSecureInput secureInput;
  std::set<platform::Pid> refusesActivation;  // applications that ignore activation requests
  SimPrivacyState privacy;
  // Where the terminals' shells find a mouse highlight the program hands them to replace.
  std::string shellHandoffFile;
  std::vector<std::string> openedURLs;
  std::vector<std::vector<std::string>> revealedInFileViewer;  // each selection the file manager showed
  WindowServerFaults windowServerFaults;
  // Accessibility actions performed, as "<action> <element>" lines, for tests.
  std::vector<std::string> performedActions;
  // The signature of Velvix itself: unsigned, as a build on this machine is, unless a test signs it.
  SimCodeSigning codeSigning;

  // ---- facades
  SimWorkspace& workspace() { return *workspace_; }
  SimLoginItems& loginItems() { return *loginItems_; }
  SimWindowServer& windowServer() { return *windowServer_; }
  SimAccessibility& accessibility() { return *accessibility_; }
  SimPrivacy& privacyService() { return *privacy_; }
  SimApplication& application() { return *application_; }
  SimLauncher& launcher() { return *launcher_; }
  SimDesktopProcessTable& processes() { return *processes_; }
  SimScriptRunner& scripts() { return *scripts_; }
  SimInProcessScripts& inProcessScripts() { return *inProcessScripts_; }
  // The bundles of the desktop's applications (every launched application has one).
  SimBundleReader& bundles() { return *bundles_; }
  SimScreens& screens() { return *screens_; }
  SimScreenCapture& screenCapture() { return *screenCapture_; }
  SimSecureInputState& secureInputState() { return *secureInputState_; }
  SimInputState& inputState() { return *inputState_; }
  // The keyboard and mouse pipeline, event taps and hot keys.
  SimInput& input() { return *input_; }
  const SimInput& input() const { return *input_; }
  SimSymbolicHotKeys& symbolicHotKeys() { return *symbolicHotKeys_; }
  SimAudioInput& microphone() { return *microphone_; }
  platform::NotificationCenter& workspaceNotifications() { return workspaceNotifications_; }
  // The Dock (its process runs once started) and the user's accessibility display options.
  SimDock& dock();
  const SimDock* dockIfMade() const { return dock_.get(); }
  SimAccessibilityDisplay& accessibilityDisplay();
  // The clipboard, the keyboard layout, opening addresses, and the simulated Chromium's
  // extensions page (made on first use).
  SimPasteboard& pasteboard();
  SimKeyboardLayout& keyboardLayout();
  SimURLOpener& urlOpener();
  SimSafariExtensionSettings& safariExtensionSettings();
  SimExtensionsPage& extensionsPage();
  SimExtensionsPage* extensionsPageIfMade() const { return extensionsPage_.get(); }
  // The browser `browser` starts the application's extension it loaded: the relay program
  // `relayProgram` runs as the browser's child, and the extension talks through it until the
  // browser quits. Gives the relay's process id and the application's end of the connection
  // (a socket the caller owns); nothing when no socket could be made. Loading it again ends the
  // copy the browser ran before.
  struct ExtensionConnection {
    platform::Pid relay = 0;
    int fd = -1;
  };
  std::optional<ExtensionConnection> startExtension(platform::Pid browser, const std::string& browserName,
                                                    const std::string& relayProgram);

  // Process activities begun and not yet ended (their reasons), for tests.
  std::vector<std::string> activeActivities() const;

 private:
  friend class SimWorkspace;

  platform::MainLoop& loop_;
  std::function<void(double)> spendTime_;
  std::atomic<std::uint64_t> revision_{0};
  std::vector<std::weak_ptr<std::function<void()>>> watchers_;
  mutable std::shared_mutex processTableMutex_;
  std::map<platform::Pid, std::unique_ptr<SimApp>> apps_;  // entries are never removed
  // Hashed indexes of apps_, changed with it under the same lock: a large desktop is asked about
  // thousands of its processes at a chord's start. By pid, and by the bundle id each application
  // launched with, in pid order (a lookup checks the live bundle id and whether it still runs).
  std::unordered_map<platform::Pid, SimApp*> appsByPid_;
  std::unordered_map<std::string, std::vector<SimApp*>> appsByBundle_;
  void indexApp(SimApp& app);
  platform::Pid nextPid_ = 501;
  std::atomic<platform::Pid> selfPid_{0};
  std::optional<platform::Pid> frontmost_;
  std::map<std::int64_t, SimWindow> windows_;
  // A hashed index of windows_, changed with it: every Accessibility question about a window, and
  // every row of the window list, looks its window up by number, and a walk down the tree touches
  // a far-apart node at each level.
  std::unordered_map<std::int64_t, SimWindow*> windowsByNumber_;
  std::vector<std::int64_t> stack_;
  // Each application's windows, front to back as in stack_: an application's windows are asked
  // for at every Accessibility question about its windows, and are found without a walk of all.
  std::unordered_map<platform::Pid, std::vector<std::int64_t>> stackOf_;
  std::int64_t nextWindowNumber_ = 100;
  std::vector<SimDisplay> displays_{SimDisplay{}};
  std::vector<InstalledApp> installed_;
  std::vector<platform::Timer> pendingQuits_;
  platform::NotificationCenter workspaceNotifications_;
  std::shared_ptr<std::vector<std::string>> activities_;
  std::unique_ptr<SimWorkspace> workspace_;
  std::unique_ptr<SimLoginItems> loginItems_;
  std::unique_ptr<SimWindowServer> windowServer_;
  std::unique_ptr<SimAccessibility> accessibility_;
  std::unique_ptr<SimPrivacy> privacy_;
  std::unique_ptr<SimApplication> application_;
  std::unique_ptr<SimLauncher> launcher_;
  std::unique_ptr<SimDesktopProcessTable> processes_;
  std::unique_ptr<SimScriptRunner> scripts_;
  std::unique_ptr<SimInProcessScripts> inProcessScripts_;
  std::unique_ptr<SimBundleReader> bundles_;
  Point pointer_{720, 450};
  std::unique_ptr<SimScreens> screens_;
  std::unique_ptr<SimScreenCapture> screenCapture_;
  std::unique_ptr<SimSecureInputState> secureInputState_;
  std::unique_ptr<SimInputState> inputState_;
  std::unique_ptr<SimInput> input_;
  std::unique_ptr<SimSymbolicHotKeys> symbolicHotKeys_;
  std::unique_ptr<SimAudioInput> microphone_;
  bool asleep_ = false;
  bool screenLocked_ = false;
  double lastInputAt_[6] = {};
  std::unique_ptr<SimDock> dock_;
  std::unique_ptr<SimAccessibilityDisplay> accessibilityDisplay_;
  std::unique_ptr<SimPasteboard> pasteboard_;
  std::unique_ptr<SimKeyboardLayout> keyboardLayout_;
  std::unique_ptr<SimURLOpener> urlOpener_;
  std::unique_ptr<SimSafariExtensionSettings> safariExtensionSettings_;
  std::unique_ptr<SimExtensionsPage> extensionsPage_;
  std::vector<std::unique_ptr<SimChromiumExtension>> extensions_;
  // Workspace notifications go out at the loop's next turn, as the real ones do.
  void postWorkspace(const char* name, const SimApp& app);
  std::int64_t nextTabID_ = 1;
};

}  // namespace velvix::sim
