// The tap callback runs for every key and click of the session: a plain key-down must pass
// through it in microseconds, and the trigger-Tab that opens a chord well under a millisecond.

#include <benchmark/benchmark.h>

#include "Input/EventTap.hpp"
#include "Input/SwitcherController.hpp"
#include "TestSupport/AppWorld.hpp"

namespace velvix {
namespace {

using platform::EventType;
using platform::InputEvent;

struct Desk : test::AppWorld {
  Desk() {
    for (int i = 0; i < 12; ++i) launchApp("com.example.app" + std::to_string(i), "App", {"One", "Two", "Three"});
    launch();
  }
};

void BM_TapPlainKeyDown(benchmark::State& state) {
  Desk d;
  EventTap& tap = *d.app->delegate().eventTap();
  for (auto _ : state) {
    InputEvent event{.type = EventType::keyDown, .keyCode = 0};  // "a"
    benchmark::DoNotOptimize(tap.handle(event));
  }
}
BENCHMARK(BM_TapPlainKeyDown)->Unit(benchmark::kMicrosecond);

void BM_TapTriggerTabOpensAChord(benchmark::State& state) {
  Desk d;
  EventTap& tap = *d.app->delegate().eventTap();
  SwitcherController& switcher = *d.app->delegate().switcher();
  for (auto _ : state) {
    InputEvent event{.type = EventType::keyDown, .keyCode = platform::KeyCode::kTab,
                     .flags = platform::EventFlag::kCommand};
    benchmark::DoNotOptimize(tap.handle(event));
    state.PauseTiming();
    switcher.cancel();
    d.loop.advance(1.0);  // lets pairing marks age out between presses
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TapTriggerTabOpensAChord)->Unit(benchmark::kMicrosecond);

// Command-Left with a terminal in front: the editing keys rewrite it to Control-A in place.
void BM_TapTerminalKeyDownRewritten(benchmark::State& state) {
  Desk d;
  const auto terminal = d.launchApp("com.apple.Terminal", "Terminal", {"zsh"});
  d.desktop.activate(terminal);
  d.pause(1);
  EventTap& tap = *d.app->delegate().eventTap();
  for (auto _ : state) {
    InputEvent event{.type = EventType::keyDown, .keyCode = platform::KeyCode::kLeftArrow,
                     .flags = platform::EventFlag::kCommand};
    benchmark::DoNotOptimize(tap.handle(event));
    if (event.keyCode != 0) state.SkipWithError("not rewritten");
  }
}
BENCHMARK(BM_TapTerminalKeyDownRewritten)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velvix
