// The ranked list runs inside the chord's key handling: 1,000 entries must rank in under 200 µs,
// and the time must grow no faster than n log n (10,000 entries under 3 ms), also when every
// date changed. The large inventories are mostly windows: a browser's tabs are limited. The time of
// the simulated window server and of the simulated workspace (the stand-in for the system's list of
// applications, asked whether processes are gone and which browsers run) is measured apart
// (sim_us); own_p50_us is Velvix's part.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "Core/ChordSnapshot.hpp"
#include "Core/MRUManager.hpp"
#include "CountedWork.hpp"
#include "LatencySamples.hpp"
#include "TestSupport/TestWorld.hpp"
#include "TimedWindowServer.hpp"
#include "TimedWorkspace.hpp"

namespace velvix {
namespace {

// Applications of two or three windows each, `windows` windows in all, and `tabs` tabs of two
// running browsers.
struct LargeInventory : test::TestWorld {
  LargeInventory(int windows, int tabs) {
    options.windowServer = &timed;
    options.workspace = &timedWorkspace;
    MRUManager& store = mru();
    const double now = loop.now();
    int made = 0;
    for (int a = 0; made < windows; ++a) {
      const std::string bundle = "com.example.app" + std::to_string(a);
      auto pid = desktop.launch({.bundleID = bundle, .name = "App " + std::to_string(a)});
      for (int w = 0; w < (a % 2 == 0 ? 3 : 2) && made < windows; ++w, ++made) {
        auto number = desktop.addWindow(pid, {.title = "Window " + std::to_string(w),
                                              .bounds = {100.0 + 30 * w, 80.0 + 30 * w, 900, 640}});
        SwitchableItem item;
        item.id = SwitchableItem::windowItemID(bundle, number);
        item.bundleID = bundle;
        item.windowNumber = number;
        item.pid = pid;
        item.title = "Window";
        item.lastActivatedAt = now - a * 10 - w;
        item.seeded = (a + w) % 3 == 0;
        store.stateForTesting().items.push_back(item);
      }
    }
    const int perBrowser = tabs / 2;
    for (auto [bundle, browser] :
         {std::pair{"com.google.Chrome", Browser::chrome}, {"com.brave.Browser", Browser::brave}}) {
      auto pid = desktop.launch({.bundleID = bundle, .name = bundle});
      desktop.addWindow(pid, {.title = "Browser window"});
      for (int t = 0; t < perBrowser; ++t) {
        SwitchableItem item;
        item.id = std::string("tab:") + bundle + ":" + std::to_string(t);
        item.kind = ItemKind::tab;
        item.bundleID = bundle;
        item.browser = browser;
        item.tabID = t;
        item.windowID = std::to_string(t % 4);
        item.title = "Tab";
        item.url = "https://www.example.com/" + std::to_string(t);
        item.lastActivatedAt = now - t * 0.1;
        store.stateForTesting().items.push_back(item);
      }
    }
  }

  // The stand-in is timed on the clock the figure is taken on; the rows are freed after the
  // ranking, as a chord's start lets them go.
  bench::TimedWindowServer timed{desktop.windowServer(), bench::TimedWindowServer::CallerFrees::afterwards,
                                 bench::TimedWindowServer::Clocks::monotonicOnly};
  bench::TimedWorkspace timedWorkspace{desktop.workspace()};
  ~LargeInventory() { endApp(); }  // the application goes before the stand-ins it was built over

  // Nanoseconds spent inside the stand-ins so far.
  std::int64_t simulatedSpent() const { return timed.spentWall() + timedWorkspace.spentWall(); }
};

// Args: windows, tabs, whether every date changed since the last ranking (the first chord after
// launch or after a sync: the order the ranking starts from is no help). The list is ranked into
// the one the chord before kept, as the switcher does.
void BM_RankedForSwitcher(benchmark::State& state) {
  LargeInventory world(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const bool reshuffle = state.range(2) != 0;
  std::vector<SwitchableItem>& items = world.mru().stateForTesting().items;
  const double now = world.loop.now();
  std::vector<SwitchableItem> ranked = world.mru().rankedForSwitcher();
  bench::LatencySamples samples;
  std::uint32_t seed = 1;
  for (auto _ : state) {
    if (reshuffle) {
      state.PauseTiming();
      for (auto& item : items) {
        seed = seed * 1664525u + 1013904223u;
        // Within the last 1,000 s: no tab expires.
        item.lastActivatedAt = now - static_cast<double>((seed >> 8) % 1000000) / 1000.0;
      }
      state.ResumeTiming();
    }
    const std::int64_t simBefore = world.simulatedSpent();
    const auto start = bench::LatencySamples::Clock::now();
    std::optional<ChordSnapshot> snapshot;
    bench::counted([&] {
      // As a chord's start ranks: the platform read once, the window server's rows let go afterwards.
      world.mru().rankedForSwitcher(ranked, snapshot.emplace(world.windowList(), world.runningApps()));
    });
    samples.add(bench::LatencySamples::since(start), world.simulatedSpent() - simBefore);
    benchmark::DoNotOptimize(ranked.data());
    state.PauseTiming();
    snapshot = {};
    state.ResumeTiming();
  }
  samples.report(state);
  state.counters["entries"] = static_cast<double>(items.size());
  state.counters["ranked"] = static_cast<double>(ranked.size());
}
BENCHMARK(BM_RankedForSwitcher)
    ->Args({100, 360, 0})
    ->Args({100, 900, 0})
    ->Args({333, 667, 0})
    ->Args({80, 20, 1})
    ->Args({800, 200, 1})
    ->Args({8000, 2000, 1})
    ->Apply(bench::fixedIterationsUnderCallgrind)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velvix
