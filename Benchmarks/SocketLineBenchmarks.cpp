// One socket line from the bytes a read delivers to the parsed extension report (cutting, UTF-8
// check, trimming and reading the JSON), and on to the inventory update it makes.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <time.h>
#include <unistd.h>

#include "Bridge/BrowserBridge.hpp"
#include "Bridge/ExtensionReport.hpp"
#include "Bridge/SocketLineCutter.hpp"
#include "LatencySamples.hpp"
#include "TestSupport/SocketPeers.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

const std::string kActivated =
    R"({"browser":"chrome","event":"activated","session":"5f1c9a7e-3b2d-4c1e-9a8f-0e7d6c5b4a39",)"
    R"("windowFocused":true,"tab":{"tabId":1843226711,"windowId":1843226502,"index":7,)"
    R"("title":"Pull request #4821: Make the relay survive broken frames \u2014 Code review",)"
    R"("url":"https://code.example.com/velvix/velvix/pull/4821/files#diff-6f2b1c",)"
    R"("favIconUrl":"https://code.example.com/favicon.ico","isPrivate":false,"active":true}})";

std::string syncOf(int windows, int tabsPerWindow) {
  std::string line = R"({"browser":"brave","event":"sync","session":"0b7e","windows":[)";
  for (int w = 0; w < windows; ++w) {
    line += (w ? "," : "") + std::string(R"({"windowId":)") + std::to_string(100 + w) + R"(,"focused":)" +
            (w == 0 ? "true" : "false") + R"(,"tabs":[)";
    for (int t = 0; t < tabsPerWindow; ++t)
      line += (t ? "," : "") + std::string(R"({"tabId":)") + std::to_string(w * 1000 + t) +
              R"(,"windowId":)" + std::to_string(100 + w) + R"(,"index":)" + std::to_string(t) +
              R"(,"title":"Some page title of a usual length, number )" + std::to_string(t) +
              R"(","url":"https://www.example.com/section/page-)" + std::to_string(t) +
              R"(?query=1","favIconUrl":"https://www.example.com/favicon.ico","active":)" +
              (t == 0 ? "true" : "false") + "}";
    line += "]}";
  }
  return line + "]}";
}

void lineToReport(benchmark::State& state, const std::string& line) {
  const std::string bytes = line + "\n";
  SocketLineCutter cutter;
  for (auto _ : state) {
    cutter.append(bytes.data(), bytes.size());
    while (auto text = cutter.nextLine()) {
      auto report = ExtensionReport::parse(*text);
      benchmark::DoNotOptimize(report);
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_SocketLineToActivatedReport(benchmark::State& state) {
  lineToReport(state, kActivated);
}
BENCHMARK(BM_SocketLineToActivatedReport);

// A full sync of a browser with 4 windows of 25 tabs.
void BM_SocketLineToSyncReport(benchmark::State& state) {
  lineToReport(state, syncOf(4, 25));
}
BENCHMARK(BM_SocketLineToSyncReport);

// Reports arriving in a brisk stream.
constexpr double kBetweenLines = 0.01;

// An "activated" report of a registered Chrome relay, from its bytes through the bridge into an
// inventory of 500 entries: the tabs a full sync of 4 windows of 25 tabs leaves (the tab limits
// raised) and application windows. The report is of a tab already listed, as most are.
void BM_SocketLineToInventoryUpdate(benchmark::State& state) {
  test::TestWorld world;
  world.services();
  world.preferences().universalTabLimit.set(100);
  world.preferences().perWindowTabLimit.set(50);
  world.runTestProgramUnder(world.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"}));
  BrowserBridge& bridge = world.browserBridge();
  test::SocketPeers peers(
      world.loop, world.home.path(),
      [&](const std::shared_ptr<UnixSocketServer::Client>& client) { bridge.handleAccept(client); });
  auto relay = peers.connect();
  std::string sync = syncOf(4, 25);
  sync.replace(sync.find("brave"), 5, "chrome");
  if (!bridge.handle(relay.client, sync)) state.SkipWithError("the relay was not accepted");
  const int windows = 500 - static_cast<int>(world.mru().entries().size());
  for (int w = 0; w < windows; ++w) {
    SwitchableItem item;
    item.bundleID = "com.example.app" + std::to_string(w / 4);
    item.windowNumber = 5000 + w;
    item.id = SwitchableItem::windowItemID(item.bundleID, *item.windowNumber);
    item.title = "Window " + std::to_string(w);
    item.lastActivatedAt = world.loop.now() - w;
    world.mru().stateForTesting().items.push_back(std::move(item));
  }

  std::string line = kActivated;
  line.replace(line.find("1843226711"), 10, "1003");
  line.replace(line.find("1843226502"), 10, "101");
  const std::string bytes = line + "\n";
  SocketLineCutter cutter;
  bench::LatencySamples samples;
  for (auto _ : state) {
    samples.time([&] {
      cutter.append(bytes.data(), bytes.size());
      while (auto text = cutter.nextLine()) benchmark::DoNotOptimize(bridge.handle(relay.client, *text));
    });
    // The main loop turns between lines, as it does in the application: the work a report
    // leaves for later (the still of the browser's window) runs and is freed there, outside the
    // line's time. A loop that never turned would pile up one timer per line, and the line
    // would be timed with the page faults of an ever-growing heap.
    world.loop.advance(kBetweenLines);
  }
  samples.report(state);
  state.counters["entries"] = static_cast<double>(world.mru().entries().size());
}
BENCHMARK(BM_SocketLineToInventoryUpdate);

long residentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * ::sysconf(_SC_PAGESIZE);
}

// The resident set once two readings a tenth of a second apart agree (at most 5 s): memory that
// another thread frees settles first.
long settledResidentBytes() {
  long last = residentBytes();
  for (int i = 0; i < 50; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const long now = residentBytes();
    if (now == last) break;
    last = now;
  }
  return last;
}

// The processor time of the calling thread (nanoseconds).
std::int64_t threadProcessorNow() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A browser reporting 50,000 tabs in one full sync (100 windows of 500 tabs, an 11 MB line), once
// an iteration, through the bridge of a registered Chrome relay into the inventory; then the tabs
// go (an ordinary sync of 4 windows of 25 tabs). main_p50_us and main_p99_us: the main thread's
// share of one report, from the line's arrival until the inventory has taken it in. The report
// may be read on another thread meanwhile, while the main loop is free: the main thread's own
// processor clock is what tells its share (wall time would count the wait). resident_growth_mb:
// the resident set after the tabs went less the one before the first report.
void BM_FullSyncOf50000Tabs(benchmark::State& state) {
  test::TestWorld world;
  world.services();
  world.runTestProgramUnder(world.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"}));
  test::SocketPeers peers(world.loop, world.home.path());
  auto relay = peers.connect();
  BrowserBridge& bridge = world.browserBridge();
  int handled = 0;
  auto counting = bridge.reportsHandled.add([&](const ExtensionReport&, Browser) { ++handled; });
  std::string few = syncOf(4, 25);
  few.replace(few.find("brave"), 5, "chrome");
  std::string many = syncOf(100, 500);
  many.replace(many.find("brave"), 5, "chrome");
  const auto take = [&](const std::string& line) {
    const int before = handled;
    bridge.handle(relay.client, line);
    return world.loop.runUntil([&] { return handled > before; }, std::chrono::seconds(60));
  };
  if (!take(few)) state.SkipWithError("the relay was not accepted");
  const long residentBefore = settledResidentBytes();
  bench::LatencySamples samples;
  for (auto _ : state) {
    const std::int64_t start = threadProcessorNow();
    if (!take(many)) {
      state.SkipWithError("the report was not taken in within 60 s");
      break;
    }
    samples.add(threadProcessorNow() - start);
  }
  take(few);
  world.loop.runUntilIdle();
  samples.report(state, "main_");
  state.counters["resident_growth_mb"] = static_cast<double>(settledResidentBytes() - residentBefore) / 1e6;
  state.counters["line_mb"] = static_cast<double>(many.size()) / 1e6;
}
BENCHMARK(BM_FullSyncOf50000Tabs)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velvix
