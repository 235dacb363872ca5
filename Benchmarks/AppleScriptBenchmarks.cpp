// Reading a Safari front-tabs answer of 500 tabs: from the interpreter's output bytes to the
// records the bridge hands on (UTF-8 check, lines, trimming, fields, numbers).

#include <benchmark/benchmark.h>

#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/AppleScriptOutput.hpp"

namespace velvix {
namespace {

void FrontTabsAnswerOf500Tabs(benchmark::State& state) {
  platform::ScriptOutcome outcome;
  for (int i = 0; i < 500; ++i)
    outcome.output += "https://www.example.com/section/page-" + std::to_string(i) +
                      "?query=1\tSome page title of a usual length \u2014 number " + std::to_string(i) +
                      "\t" + std::to_string(i % 12 + 1) + "\t12\n";
  for (auto _ : state) {
    auto reading = AppleScriptOutput::read(outcome);
    auto tabs = AppleScriptBridge::frontTabs(*reading.lines);
    benchmark::DoNotOptimize(tabs);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outcome.output.size()));
}
BENCHMARK(FrontTabsAnswerOf500Tabs);

}  // namespace
}  // namespace velvix
