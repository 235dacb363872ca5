// The ranked list runs inside the chord's key handling: it must stay well under a millisecond
// for an inventory of 500 entries.

#include <benchmark/benchmark.h>

#include "Core/MRUManager.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

// 40 applications with 100 windows between them, and 360 tabs of two running browsers.
struct LargeInventory : test::TestWorld {
  LargeInventory() {
    MRUManager& store = mru();
    const double now = loop.now();
    for (int a = 0; a < 40; ++a) {
      const std::string bundle = "com.example.app" + std::to_string(a);
      auto pid = desktop.launch({.bundleID = bundle, .name = "App " + std::to_string(a)});
      for (int w = 0; w < (a < 20 ? 3 : 2); ++w) {
        auto number = desktop.addWindow(pid, {.title = "Window " + std::to_string(w)});
        SwitchableItem item;
        item.id = SwitchableItem::windowItemID(bundle, number);
        item.bundleID = bundle;
        item.windowNumber = number;
        item.pid = pid;
        item.title = "Window";
        item.lastActivatedAt = now - a * 10 - w;
        item.seeded = (a + w) % 3 == 0;
        store.items.push_back(item);
      }
    }
    for (auto [bundle, browser] : {std::pair{"com.google.Chrome", Browser::chrome}, {"com.brave.Browser", Browser::brave}}) {
      auto pid = desktop.launch({.bundleID = bundle, .name = bundle});
      desktop.addWindow(pid, {.title = "Browser window"});
      for (int t = 0; t < 180; ++t) {
        SwitchableItem item;
        item.id = std::string("tab:") + bundle + ":" + std::to_string(t);
        item.kind = ItemKind::tab;
        item.bundleID = bundle;
        item.browser = browser;
        item.tabID = t;
        item.windowID = std::to_string(t % 4);
        item.title = "Tab";
        item.lastActivatedAt = now - t * 5;
        store.items.push_back(item);
      }
    }
  }
};

void BM_RankedForSwitcher500(benchmark::State& state) {
  LargeInventory world;
  for (auto _ : state) benchmark::DoNotOptimize(world.mru().rankedForSwitcher());
  state.counters["entries"] = static_cast<double>(world.mru().items.size());
}
BENCHMARK(BM_RankedForSwitcher500)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velvix
