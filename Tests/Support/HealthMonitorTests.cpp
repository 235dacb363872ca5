#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Input/SwitcherHotkey.hpp"
#include "Platform/Linux/ThreadBackgroundTimers.hpp"
#include "Platform/Simulated/SimInputState.hpp"
#include "Platform/Simulated/SimSecureInputState.hpp"
#include "Support/HealthMonitor.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;
using platform::EventType;
using platform::InputEvent;
using platform::EventFlag::kCommand;
using platform::KeyCode::kTab;

constexpr const char* kMissed = "⌘TAB MISSED";

void setModified(const fs::path& file, std::time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
}

void writeFile(const fs::path& file, const std::string& text, std::optional<std::time_t> modified = {}) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
  if (modified) setModified(file, *modified);
}

std::string contents(const fs::path& file) {
  std::ifstream in(file);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct HealthWorld : test::TestWorld {
  HealthMonitor& monitor = healthMonitor();
  int faults = 0;

  HealthWorld() {
    services();
    monitor.onFault = [this] { ++faults; };
  }
  sim::SimInput& input() { return desktop.input(); }
  // What the world's monitor watches, with its poll run by `timers` instead.
  HealthMonitor::Collaborators collaborators(platform::BackgroundTimers& timers) {
    return {.loop = loop,
            .backgroundTimers = timers,
            .input = desktop.inputState(),
            .secureInput = desktop.secureInputState(),
            .symbolicHotKeys = desktop.symbolicHotKeys(),
            .eventTaps = desktop.input(),
            .processes = desktop.processes(),
            .keyboards = desktop.input(),
            .workspace = desktop.workspace(),
            .log = log(),
            .home = home.path()};
  }
  // Stands in for the event tap: counts the Command-Tab presses that reach it and consumes them.
  void installTap() {
    desktop.input().createTap(InputEvent::maskBit(EventType::keyDown), [this](InputEvent& event) {
      if (event.keyCode != kTab || !(event.flags & kCommand) || event.autorepeat) return true;
      monitor.addArrival();
      return false;
    });
  }
  // Command is held, Tab goes down for `held` seconds and up again, then Command is released.
  void commandTab(double held = 0.05) {
    input().setModifiers(kCommand);
    loop.advance(0.2);
    input().keyDown(kTab, kCommand);
    loop.advance(held);
    input().keyUp(kTab, kCommand);
    loop.advance(0.05);
    input().setModifiers(0);
  }
  std::vector<std::string> linesStartingWith(const std::string& start) {
    std::vector<std::string> lines;
    for (auto& line : healthLines())
      if (line.starts_with(start)) lines.push_back(line);
    return lines;
  }
};

// ---- the previous run

TEST(HealthMonitor, AFirstLaunchReportsNothingAndLeavesAPrivateMarkerThatACleanExitRemoves) {
  HealthWorld w;
  w.monitor.start();
  w.monitor.start();  // does nothing: in particular, it does not take its own marker for a crash
  EXPECT_TRUE(w.linesStartingWith("previous run").empty());
  EXPECT_EQ(contents(w.monitor.markerPath()), std::to_string(::getpid()) + "\n");
  struct stat folder {};
  ASSERT_EQ(::stat(SupportFolder::path(w.home.path()).c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  w.monitor.markCleanExit();
  EXPECT_FALSE(fs::exists(w.monitor.markerPath()));
  // Watching has stopped: a change of suspects after the clean exit is not written after "quit".
  w.input().foreignTaps.push_back({.ownerPID = 7001, .listenOnly = true, .eventsOfInterest = 0x400});
  w.loop.advance(30);
  EXPECT_TRUE(w.linesStartingWith("input suspects").empty());
}

TEST(HealthMonitor, ALaunchAfterARunThatDidNotQuitNamesTheCrashReportsWrittenSince) {
  HealthWorld w;
  const std::time_t started = 1767222000;  // 2025-12-31T23:00:00Z
  writeFile(w.monitor.markerPath(), "4242\n", started);
  const fs::path reports = w.monitor.crashReportsFolder();
  writeFile(reports / "Velvix_helper.crash", "", started + 400);
  writeFile(reports / "Velvix-2025-12-31-230512.ips", "", started + 300);
  writeFile(reports / "Velvix-2025-12-30-080000.ips", "", started - 86400);  // an older run's
  writeFile(reports / "Safari-2025-12-31-230600.ips", "", started + 360);
  writeFile(reports / "velvix-lowercase.ips", "", started + 360);
  w.monitor.start();
  EXPECT_EQ(w.linesStartingWith("previous run"),
            (std::vector<std::string>{
                "previous run (started 2025-12-31T23:00:00Z) ended without quitting: crashed, "
                "force quit, killed or logged out; crash reports: "
                "Velvix-2025-12-31-230512.ips, Velvix_helper.crash"}));
  EXPECT_EQ(contents(w.monitor.markerPath()), std::to_string(::getpid()) + "\n");
}

// ---- presses that never arrived

TEST(HealthMonitor, PressesThatReachTheTapOrOnlyTheFallbackHotKeyProduceNothing) {
  HealthWorld w;
  w.installTap();
  w.systemSwitcherShortcut().set(true);
  SwitcherHotkey hotkey(w.desktop.input(), w.log());
  hotkey.onPress = [&](bool) { w.monitor.addArrival(); };
  hotkey.registerMode(HotkeyMode::commandTab);
  w.monitor.setOwns(true);
  w.monitor.start();
  w.commandTab();
  w.desktop.secureInput.enabled = true;  // the tap is blind, the hot key is not
  w.commandTab();
  w.loop.advance(3);
  EXPECT_EQ(w.monitor.arrivals(), 2);
  EXPECT_TRUE(w.linesStartingWith(kMissed).empty());
  EXPECT_EQ(w.faults, 0);
}

TEST(HealthMonitor, APressTheKeyboardSawButNothingReceivedIsReportedOnceAfterOneAndAHalfSecondsThenOneFault) {
  HealthWorld w;
  w.installTap();
  w.systemSwitcherShortcut().set(true);
  w.monitor.setOwns(true);
  w.monitor.start();
  w.input().loseEventsBeforeTaps = true;
  w.commandTab();
  w.loop.advance(1.0);
  EXPECT_TRUE(w.linesStartingWith(kMissed).empty());  // it may still arrive
  w.loop.advance(3.0);
  EXPECT_EQ(w.linesStartingWith(kMissed),
            (std::vector<std::string>{
                "⌘TAB MISSED: pressed on the keyboard at 2026-01-01T00:00:00Z but never reached Velvix's tap "
                "or its "
                "fallback hotkey; something upstream swallowed it, since the system ⌘Tab was off (secure "
                "input off); "
                "suspects: taps [none], tools [none], keyboards [Apple Internal Keyboard / Trackpad]"}));
  EXPECT_EQ(w.faults, 1);
}

TEST(HealthMonitor, OfTwoQuickPressesTheOneASwallowingTapTookIsReportedAsGoneToTheSystemSwitcher) {
  HealthWorld w;
  w.installTap();
  w.monitor.setOwns(true);  // while the system's own Command-Tab is still on
  w.monitor.start();
  w.commandTab();
  // Another tap ahead of ours starts swallowing every key.
  w.input().createTap(InputEvent::maskBit(EventType::keyDown), [](InputEvent&) { return false; });
  w.commandTab();
  w.loop.advance(2);
  EXPECT_EQ(w.monitor.arrivals(), 1);
  auto missed = w.linesStartingWith(kMissed);
  ASSERT_EQ(missed.size(), 1u);
  EXPECT_NE(
      missed[0].find("; it went to the native switcher, since the system ⌘Tab was ON (secure input off);"),
      std::string::npos);
  EXPECT_EQ(w.faults, 1);
}

TEST(HealthMonitor, PressesWhileTheChordIsNotOursAreNeverReported) {
  HealthWorld w;
  w.monitor.start();
  w.input().loseEventsBeforeTaps = true;
  w.commandTab();
  w.loop.advance(3);
  EXPECT_TRUE(w.linesStartingWith(kMissed).empty());
  EXPECT_EQ(w.faults, 0);
}

// Records every poll interval the monitor asks for.
struct RecordingTimers final : platform::BackgroundTimers {
  struct Task final : platform::RepeatingTask {
    std::vector<double>& intervals;
    std::unique_ptr<platform::RepeatingTask> inner;
    Task(std::vector<double>& intervals, std::unique_ptr<platform::RepeatingTask> inner)
        : intervals(intervals), inner(std::move(inner)) {}
    void setInterval(double seconds) override {
      intervals.push_back(seconds);
      inner->setInterval(seconds);
    }
    void cancel() override { inner->cancel(); }
  };
  explicit RecordingTimers(platform::BackgroundTimers& inner) : inner(inner) {}
  std::unique_ptr<platform::RepeatingTask> every(const std::string& label, double interval,
                                                 std::function<void()> work) override {
    intervals.push_back(interval);
    return std::make_unique<Task>(intervals, inner.every(label, interval, std::move(work)));
  }
  platform::BackgroundTimers& inner;
  std::vector<double> intervals;
};

TEST(HealthMonitor, HoldingCommandPollsEvery15MillisecondsSoThatAShortTabTapIsNotMissed) {
  HealthWorld w;
  RecordingTimers timers(w.backgroundTimers);
  HealthMonitor monitor(w.collaborators(timers));
  monitor.setOwns(true);
  monitor.start();
  w.input().loseEventsBeforeTaps = true;
  w.loop.advance(0.5);
  w.commandTab(0.02);
  w.loop.advance(2);
  EXPECT_EQ(timers.intervals, (std::vector<double>{0.1, 0.015, 0.1}));
  EXPECT_EQ(w.linesStartingWith(kMissed).size(), 1u);
}

// ---- the main thread

TEST(HealthMonitor, AMainThreadStuckForThreeSecondsIsNoticedByThePollAndSoIsItsReturn) {
  HealthWorld w;
  w.installTap();
  w.monitor.setOwns(true);
  w.monitor.start();
  w.loop.advance(1.0);
  w.loop.setMainThreadBlocked(true);
  w.loop.advance(0.5);
  w.input().loseEventsBeforeTaps = true;  // nothing reaches the stuck tap
  w.commandTab();
  w.loop.advance(2.2);
  EXPECT_EQ(w.linesStartingWith("main thread").size(), 1u);
  EXPECT_EQ(w.linesStartingWith(kMissed).size(), 1u);
  EXPECT_EQ(w.faults, 0);  // the fault waits for the main thread
  w.loop.setMainThreadBlocked(false);
  w.loop.advance(1.0);
  EXPECT_EQ(w.linesStartingWith("main thread"),
            (std::vector<std::string>{
                "main thread unresponsive for 2.0s and counting; the event tap is starved until "
                "it returns, so ⌘Tab can reach the native switcher meanwhile",
                "main thread responsive again after ~3.0s"}));
  auto missed = w.linesStartingWith(kMissed);
  ASSERT_EQ(missed.size(), 1u);
  EXPECT_NE(missed[0].find("(secure input off, main thread hung)"), std::string::npos);
  EXPECT_EQ(w.faults, 1);
}

TEST(HealthMonitor, NeitherAStallUnderOneAndAHalfSecondsNorALateStartIsReported) {
  HealthWorld w;
  w.loop.advance(10.0);  // created long before it starts
  w.monitor.start();
  w.loop.advance(1.0);
  w.loop.setMainThreadBlocked(true);
  w.loop.advance(1.45);
  w.loop.setMainThreadBlocked(false);
  w.loop.advance(3.0);
  EXPECT_TRUE(w.linesStartingWith("main thread").empty());
}

// ---- input suspects

TEST(HealthMonitor, SuspectsAreWrittenAtStartAndThenOnlyWhenTheyChange) {
  HealthWorld w;
  w.desktop.input().createTap(InputEvent::maskBit(EventType::keyDown), [&](InputEvent&) {
    w.loop.spend(0.25);  // a slow callback of ours
    return true;
  });
  auto hammerspoon = w.desktop.launch({.bundleID = "org.hammerspoon.Hammerspoon", .name = "Hammerspoon"});
  w.input().foreignTaps.push_back(
      {.ownerPID = hammerspoon, .atHardwarePoint = false, .eventsOfInterest = 0x400});
  w.input().foreignTaps.push_back({.ownerPID = 7001, .listenOnly = true, .eventsOfInterest = 0x400 | 0x800});
  w.input().foreignTaps.push_back({.ownerPID = 7002, .eventsOfInterest = 0x2});  // mouse only
  w.desktop.processes().add(7001, {.executablePath = "/Applications/KeyCastr.app/Contents/MacOS/KeyCastr"});
  w.desktop.processes().add(
      7003, {.executablePath = "/System/Library/CoreServices/RemoteManagement/screensharingd"});
  w.monitor.start();
  w.loop.advance(1);
  w.input().press(platform::KeyCode::kW);  // a latency of its own is no change of suspects
  w.loop.advance(10);
  EXPECT_EQ(w.linesStartingWith("input suspects"),
            (std::vector<std::string>{
                "input suspects changed: taps [Hammerspoon (filter@session), KeyCastr (listen)], "
                "tools [Hammerspoon, KeyCastr], keyboards [Apple Internal Keyboard / Trackpad]; "
                "Velvix tap max latency 0ms"}));

  w.desktop.launch({.bundleID = "com.raycast.macos", .name = "Raycast"});
  w.input().attachedKeyboards.push_back("");
  w.loop.advance(5.5);
  auto lines = w.linesStartingWith("input suspects");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(
      lines[1],
      "input suspects changed: taps [Hammerspoon (filter@session), KeyCastr (listen)], tools [Hammerspoon, "
      "KeyCastr, Raycast], keyboards [Apple Internal Keyboard / Trackpad, unnamed]; Velvix tap max latency "
      "250ms");
  w.input().registryFails = true;
  EXPECT_EQ(w.monitor.keyboardDevices(), std::vector<std::string>{});
}

// ---- on a real thread

TEST(HealthMonitor, OnItsOwnThreadThePollRunsWhileTheMainLoopNeverTurns) {
  platform::ThreadBackgroundTimers threads;
  HealthWorld w;
  HealthMonitor monitor(w.collaborators(threads));
  monitor.start();
  w.input().setModifiers(kCommand);  // the poll speeds up from its own thread
  EXPECT_TRUE(test::eventually([&] { return !w.linesStartingWith("input suspects changed").empty(); }));
  w.input().setModifiers(0);
}

}  // namespace
}  // namespace velvix
