// A plain left click near the Dock goes through the Dock controller inside the event tap: the
// hit test must stay far below the tap's budget with a full Dock of 30 icons.

#include <benchmark/benchmark.h>

#include "Input/EventTap.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "TestSupport/AppWorld.hpp"

namespace velvix {
namespace {

using platform::EventType;
using platform::InputEvent;

void BM_TapDockMouseDownWith30Icons(benchmark::State& state) {
  test::AppWorld d;
  d.desktop.dock().start();
  std::vector<std::uint64_t> icons;
  for (int i = 0; i < 30; ++i) {
    const auto pid = d.launchApp("com.example.app" + std::to_string(i), "App " + std::to_string(i), {"One"});
    icons.push_back(d.desktop.dock().addApplication(pid));
  }
  d.launch();
  EventTap& tap = *d.app->delegate().eventTap();
  // An application in the middle of the Dock, not in front: the click is examined and passes.
  const Rect icon = *d.desktop.dock().frame(icons[15]);
  const Point at{icon.midX(), icon.midY()};
  d.desktop.pointer = at;
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

}  // namespace
}  // namespace velvix
