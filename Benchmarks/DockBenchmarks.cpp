// A plain left click near the Dock goes through the Dock controller inside the event tap: the
// hit test must stay far below the tap's budget with a full Dock of 30 icons.

#include <benchmark/benchmark.h>

#include "Core/Preferences.hpp"
#include "Core/WindowList.hpp"
#include "Input/EventTap.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Support/DockObserver.hpp"
#include "TestSupport/AppWorld.hpp"

namespace velvix {
namespace {

using platform::EventType;
using platform::InputEvent;

// Thirty running applications, each with its icon in the Dock; Velvix launched over them.
std::vector<std::uint64_t> launchWithThirtyDockIcons(test::AppWorld& d) {
  d.desktop.dock().start();
  std::vector<std::uint64_t> icons;
  for (int i = 0; i < 30; ++i) {
    const auto pid = d.launchApp("com.example.app" + std::to_string(i), "App " + std::to_string(i), {"One"});
    icons.push_back(d.desktop.dock().addApplication(pid));
  }
  d.launch();
  return icons;
}

void BM_TapDockMouseDownWith30Icons(benchmark::State& state) {
  test::AppWorld d;
  const auto icons = launchWithThirtyDockIcons(d);
  d.services().preferences->debugLogging.set(false);  // as people run it; the diagnostic log is opt-in
  EventTap& tap = *d.app->delegate().eventTap();
  // An application in the middle of the Dock, not in front: the click is examined and passes.
  const Rect icon = *d.desktop.dock().frame(icons[15]);
  const Point at{icon.midX(), icon.midY()};
  d.desktop.movePointer(at);
  for (auto _ : state) {
    InputEvent event{.type = EventType::leftMouseDown, .location = at};
    benchmark::DoNotOptimize(tap.handle(event));
    state.PauseTiming();
    InputEvent up{.type = EventType::leftMouseUp, .location = at};
    tap.handle(up);
    d.loop.advance(0.01);  // the icon list is read again off the tap, as after every click
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TapDockMouseDownWith30Icons)->Unit(benchmark::kMicrosecond);

// The simulated Dock's own share of the above: the Accessibility hit test alone, answered by the
// simulation.
void BM_DockHitTestAloneWith30Icons(benchmark::State& state) {
  test::AppWorld d;
  const auto icons = launchWithThirtyDockIcons(d);
  const Services& s = d.services();
  DockObserver observer(*s.workspace, *s.accessibility, *s.screens, *s.bundles, *s.loop);
  const Rect icon = *d.desktop.dock().frame(icons[15]);
  for (auto _ : state) benchmark::DoNotOptimize(observer.item({icon.midX(), icon.midY()}));
}
BENCHMARK(BM_DockHitTestAloneWith30Icons)->Unit(benchmark::kMicrosecond);

// The other read the decision needs, the window server's list of real windows, as the simulation
// builds it (one dictionary per window) for the same 30 applications.
void BM_DockWindowListWith30Applications(benchmark::State& state) {
  test::AppWorld d;
  for (int i = 0; i < 30; ++i) d.launchApp("com.example.app" + std::to_string(i), "App", {"One"});
  d.launch();
  for (auto _ : state) benchmark::DoNotOptimize(d.services().windowList->realWindows(false));
}
BENCHMARK(BM_DockWindowListWith30Applications)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velvix
