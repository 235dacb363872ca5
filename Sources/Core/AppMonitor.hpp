#pragma once
// Keeps the inventory in step with what the user does outside the switcher: follows application
// activation, deactivation and termination, polls the front window of the frontmost ordinary
// application and the front tab of the frontmost browser once a second, reconciles tabs every
// 12 s, and asks for pictures of the windows the user leaves. Main thread only; writes no log.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "Core/WindowList.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Workspace.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Browser.hpp"

namespace velvix {

class AXWindowBridge;
class AppleScriptBridge;
class BrowserBridge;
class ChordSnapshot;
class MRUManager;
class PermissionsService;
class Preferences;
class RunningApps;
class ThumbnailStore;
namespace platform {
class InputState;
}

class AppMonitor {
 public:
  static constexpr double kReconcileInterval = 12.0;
  static constexpr double kPollInterval = 1.0;
  static constexpr double kIdleStopsTabWork = 300.0;
  static constexpr double kSuppressionAfterActivation = 1.0;

  // What the monitor watches, what it asks, and the inventory and pictures it keeps up to date.
  struct Collaborators {
    platform::Workspace& workspace;  // activations, terminations and the frontmost application
    const WindowList& windowList;
    AXWindowBridge& ax;                 // Safari's window titles
    const platform::InputState& input;  // how long the user has been idle
    RunningApps& runningApps;           // which browsers run
    BrowserBridge& browserBridge;       // which browsers' extensions report their tabs
    AppleScriptBridge& appleScripts;    // the tabs of the browsers without a live extension
    PermissionsService& permissions;    // whether the browsers may be scripted
    const Preferences& preferences;
    MRUManager& mru;
    ThumbnailStore& thumbnails;
    platform::MainLoop& loop;
  };

  explicit AppMonitor(const Collaborators& collaborators);

  void start();

  // Written by the activator: until then the monitor records nothing itself.
  double autoTrackSuppressedUntil = 0;  // monotonic clock
  // When a tab snapshot was last asked for through Apple Events (monotonic clock).
  double lastSnapshotAt = -1e9;
  // Set by the switcher while a session is open.
  bool isChordActive = false;

  // Seconds since the user's last input of any kind.
  double userIdleSeconds() const;
  void snapshotCurrentTab(const platform::RunningApplication& app, bool backdated);
  // A chord's start: the front window is told from what the start read of the platform.
  void captureFrontmostForChord(const ChordSnapshot& chord);
  void recordFrontmostWindowNow(const ChordSnapshot& chord);
  // With `chord`, the front window is told from it instead of read now.
  bool frontWindowIsPrivate(platform::Pid pid, const ChordSnapshot* chord = nullptr) const;
  bool frontWindowShows(const std::string& tabItemID, Browser browser, platform::Pid pid,
                        const ChordSnapshot* chord = nullptr) const;

  // For tests and the status of the polls.
  std::optional<platform::Pid> windowFocusPollPID() const { return windowFocusPollPID_; }

 private:
  void didActivate(const platform::RunningApplication& app);
  void didDeactivate(const platform::RunningApplication& app);
  void didTerminate(const platform::RunningApplication& app);
  void reconcilePass();
  void restartWindowFocusPoll(const platform::RunningApplication& app);
  void restartFrontTabPoll(const platform::RunningApplication& app);
  void windowFocusTick(platform::Pid pid);
  void frontTabTick(const std::string& bundleID);
  void snapshotFrontTab(Browser browser, double date);
  void captureThumbnail(const platform::RunningApplication& app, bool allWindows, bool settled,
                        const ChordSnapshot* chord = nullptr);
  std::optional<WindowList::Info> frontWindow(platform::Pid pid, const ChordSnapshot* chord) const;
  void notePrivateFrontWindow(const platform::RunningApplication& app);
  bool isSuppressed() const;
  double now() const;

  platform::Workspace& workspace_;
  const WindowList& windowList_;
  AXWindowBridge& ax_;
  const platform::InputState& input_;
  RunningApps& runningApps_;
  BrowserBridge& browserBridge_;
  AppleScriptBridge& appleScripts_;
  PermissionsService& permissions_;
  const Preferences& preferences_;
  MRUManager& mru_;
  ThumbnailStore& thumbnails_;
  platform::MainLoop& loop_;
  std::vector<platform::NotificationCenter::Observation> observers_;
  platform::Timer frontTabPoll_;
  std::optional<platform::Pid> frontTabPollPID_;
  platform::Timer windowFocusPoll_;
  std::optional<platform::Pid> windowFocusPollPID_;
  std::map<platform::Pid, std::int64_t> lastPolledWindowNumber_;
  platform::Timer reconcileTimer_;
  std::map<platform::Pid, std::set<std::int64_t>> privateBrowserWindows_;
  AliveToken alive_;
};

}  // namespace velvix
