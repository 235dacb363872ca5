#pragma once
// Watches, from a background task that keeps running while the main thread is stuck, whether the
// Command-Tab presses the keyboard saw reached the event tap or the fallback hot key, whether the
// main thread answers, and which other input programs and keyboards are about; writes what it
// finds to the health log. At start it also reports a previous run that ended without quitting,
// using the clean-exit marker "running" in the support folder (or, for a copy running beside
// another one, "running-<process id>"), with the crash reports since.

#include <atomic>
#include <cstdint>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "Platform/BackgroundTimers.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Workspace.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class EventTaps;
class InputState;
class KeyboardRegistry;
class ProcessTable;
class SecureInput;
class SymbolicHotKeys;
}  // namespace platform

class HealthMonitor {
 public:
  static constexpr const char* kQueueLabel = "com.kolvi.velvix.health";
  static constexpr const char* kMarkerName = "running";
  static constexpr double kHeartbeatInterval = 0.5;
  static constexpr double kSlowPollInterval = 0.1;
  static constexpr double kFastPollInterval = 0.015;  // while Command is held
  static constexpr double kStallThreshold = 2.0;
  static constexpr std::uint64_t kArrivalDeadlineNanos = 1'500'000'000;
  static constexpr int kSuspectsEveryTicks = 50;  // slow ticks, about 5 s

  struct KeyboardTaps {
    std::vector<std::string> others;      // "<process> (<kind>)", sorted, without duplicates
    std::optional<double> ownMaxLatency;  // milliseconds; nothing when this program has no tap
  };

  // What the monitor watches and where it writes. The poll reads the keyboard (`input`), the
  // system's own Command-Tab (`symbolicHotKeys`), secure input and the suspects (`eventTaps`,
  // `processes`, `keyboards`, with `workspace` naming this program) from its background task.
  struct Collaborators {
    platform::MainLoop& loop;
    platform::BackgroundTimers& backgroundTimers;
    platform::InputState& input;
    platform::SecureInput& secureInput;
    platform::SymbolicHotKeys& symbolicHotKeys;
    platform::EventTaps& eventTaps;
    platform::ProcessTable& processes;
    platform::KeyboardRegistry& keyboards;
    platform::Workspace& workspace;
    DebugLog& log;
    std::filesystem::path home;  // the marker lives in its support folder, crash reports below it
  };

  explicit HealthMonitor(Collaborators collaborators);
  ~HealthMonitor();
  HealthMonitor(const HealthMonitor&) = delete;
  HealthMonitor& operator=(const HealthMonitor&) = delete;

  // Called on the main loop after a missed press was reported.
  std::function<void()> onFault;

  // Main thread. Reports an unfinished previous run, rewrites the marker, starts the heartbeat
  // and the poll. A second call does nothing.
  void start();
  // Main thread, at normal termination: stops watching and removes this run's marker.
  void markCleanExit();

  // Counters the event tap and the fallback hot key share with the poll; safe from any thread.
  void addArrival() { arrivals_.fetch_add(1); }
  int arrivals() const { return arrivals_.load(); }
  void setOwns(bool owns) { owns_.store(owns); }
  bool owns() const { return owns_.load(); }

  // The input suspects; callable from any thread.
  KeyboardTaps keyboardTaps() const;
  std::vector<std::string> inputTools() const;
  std::vector<std::string> keyboardDevices() const;
  // "taps [...], tools [...], keyboards [...]", an empty list written as none.
  std::string suspects() const;

  std::filesystem::path markerPath() const;
  std::filesystem::path crashReportsFolder() const;

 private:
  struct PendingPress {
    std::uint64_t deadline;  // uptime nanoseconds
    int needs;               // the arrivals count that proves the press arrived
    double at;               // wall-clock time of the press
  };

  void checkPreviousExit();
  // The process a marker names when that is this process or another copy still running.
  std::optional<pid_t> markerNamesLiveCopy(const std::filesystem::path& marker) const;
  std::vector<std::string> crashReports(const timespec& since) const;
  void poll();
  void setFast(bool fast);
  void checkPhysicalPresses(bool commandHeld, std::uint64_t now);
  void checkMainThread(std::uint64_t now);
  void checkSuspects();
  void reportMissed(double at);
  void notifyFault();
  std::string processName(platform::Pid pid) const;
  bool isSystemProcess(platform::Pid pid) const;
  std::uint64_t uptimeNanos() const;
  void health(const std::string& line) const;

  platform::MainLoop& loop_;
  platform::BackgroundTimers& backgroundTimers_;
  platform::InputState& input_;
  platform::SecureInput& secureInput_;
  platform::SymbolicHotKeys& symbolicHotKeys_;
  platform::EventTaps& eventTaps_;
  platform::ProcessTable& processes_;
  platform::KeyboardRegistry& keyboards_;
  platform::Workspace& workspace_;
  DebugLog& log_;
  const std::filesystem::path home_;
  // Shared with the main thread.
  std::atomic<std::uint64_t> lastBeat_;
  std::atomic<int> arrivals_{0};
  std::atomic<bool> owns_{false};
  std::atomic<platform::RepeatingTask*> pollTask_{nullptr};

  // Main thread.
  std::optional<std::filesystem::path> ownMarker_;  // the marker this run wrote
  platform::Timer heartbeat_;
  std::unique_ptr<platform::RepeatingTask> task_;

  // The poll's own, touched on its task only.
  int ticks_ = 0;
  std::optional<std::uint64_t> hungSince_;
  std::optional<std::string> knownSuspects_;
  bool fast_ = false;
  std::uint64_t lastSlowTick_ = 0;
  std::deque<PendingPress> pendingPresses_;
  bool tabWasDown_ = false;
  int arrivalsWhileUp_ = 0;
  int lastNeeds_ = 0;

  AliveToken alive_;
};

}  // namespace velvix
