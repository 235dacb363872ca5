#pragma once
// The whole application, launched over a simulated desktop in virtual time, driven the way a
// person drives it: keys held and pressed on the simulated keyboard. For end-to-end scenarios.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "App/VelvixApp.hpp"
#include "Platform/MemoryDefaults.hpp"
#include "Platform/Simulated/SimBackgroundTimers.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix::test {

class AppWorld {
 public:
  AppWorld();
  ~AppWorld();

  sim::SimMainLoop loop;
  sim::SimDesktop desktop{loop, [this](double seconds) { loop.spend(seconds); }};
  TempFolder home;
  platform::MemoryDefaults settings;  // the settings store, in memory
  sim::SimBackgroundTimers backgroundTimers{loop};
  std::unique_ptr<VelvixApp> app;

  // An application with windows, added back to front (the last one is in front).
  platform::Pid launchApp(const std::string& bundleID, const std::string& name,
                          const std::vector<std::string>& windows);
  // Builds the application and runs its launch sequence; `beforeLaunch` may swap services first.
  void launch();
  std::function<void(Services&)> beforeLaunch;
  // What the application is built with beyond the world's own home, settings and timers: the
  // folder of the resources it carries (empty: those beside the program), stand-ins of the
  // desktop's parts (the benchmarks time the simulation through them).
  VelvixAppOptions options;
  // Who connects to the socket is asked of the kernel alone, as in the program (else the test
  // program may play a browser's relay in the simulated process table).
  bool realSocketPeers = false;
  Services& services() { return app->services(); }

  // ---- the keyboard (Command is the trigger in the default mode)
  void hold(std::uint64_t flags);
  void release();  // every modifier up
  void tab(std::uint64_t extraFlags = 0);
  void key(std::int64_t code);
  void pause(double seconds) { loop.advance(seconds); }

  // ---- outcomes
  std::int64_t frontWindow() const;
  std::string frontWindowTitle() const;
  std::optional<platform::Pid> frontmostPid() const { return desktop.frontmostPid(); }
  bool hudVisible();
  std::vector<std::string> healthLines();
  std::vector<std::string> debugLines();

 private:
  std::uint64_t held_ = 0;
};

}  // namespace velvix::test
