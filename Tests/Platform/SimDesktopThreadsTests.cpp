#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "Platform/Simulated/SimSecureInputState.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix {
namespace {

// What the health monitor asks from its own thread (processes, their names and paths, this
// program's pid, secure input, the system's shortcuts, taps and keyboards) while the main thread
// launches and ends applications and changes that state. The ThreadSanitizer run checks it.
TEST(SimDesktopThreads, QueriesTheRealPlatformAllowsFromAnyThreadAreSafeWhileTheDesktopChanges) {
  sim::SimMainLoop loop;
  sim::SimDesktop desktop(loop);
  desktop.launchSelf("com.kolvi.velvix");
  std::atomic<bool> done{false};
  std::atomic<long> answers{0};
  std::atomic<bool> started{false};
  std::thread monitor([&] {
    started = true;
    // At least one pass, however late a loaded machine schedules this thread.
    do {
      for (platform::Pid pid : desktop.processes().allPids()) {
        answers += desktop.processes().name(pid).has_value();
        answers += desktop.processes().executablePath(pid).has_value();
        answers += desktop.processes().probe(pid) == platform::ProcessTable::Probe::exists;
      }
      answers += desktop.workspace().ownPid() > 0;
      answers += desktop.secureInputState().isEnabled();
      answers += desktop.symbolicHotKeys().isEnabled(1);
      answers += desktop.input().tapList().size();
      answers += desktop.input().keyboards().has_value();
    } while (!done.load());
  });
  // The changes below should overlap the queries, so they wait for the thread to run.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!started.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  for (int i = 0; i < 3000; ++i) {
    const auto pid = desktop.launch({.bundleID = "com.example.app" + std::to_string(i), .name = "App"});
    desktop.processes().add(100000 + i, {.executablePath = "/usr/bin/helper", .name = "helper"});
    desktop.secureInput.enabled = i % 2 == 0;
    desktop.symbolicHotKeys().setEnabled(1, i % 3 == 0);
    if (i % 2 == 0) desktop.terminate(pid);
    if (i % 100 == 0) loop.runUntilIdle();
  }
  done = true;
  monitor.join();
  EXPECT_GT(answers.load(), 0);
  EXPECT_EQ(desktop.processes().allPids().size(), 1u + 1500u + 3000u);
}

}  // namespace
}  // namespace velvix
