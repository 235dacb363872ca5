// The relay's per-message work in both directions, for a typical tab report: framing a line for
// the browser, and turning a browser frame into a socket line.

#include <benchmark/benchmark.h>

#include "VelvixChromeHost/Shared/LineBuffer.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

namespace velvix {
namespace {

const std::string kReport =
    R"({"browser":"chrome","event":"activated","session":"5f1c9a7e-3b2d-4c1e-9a8f-0e7d6c5b4a39",)"
    R"("windowFocused":true,"tab":{"tabId":1843226711,"windowId":1843226502,"index":7,)"
    R"("title":"Pull request #4821: Make the relay survive broken frames - Code review",)"
    R"("url":"https://code.example.com/velvix/velvix/pull/4821/files#diff-6f2b1c",)"
    R"("favIconUrl":"https://code.example.com/favicon.ico","isPrivate":false,"active":true}})";

// Application to browser: a socket read holding one line, cut, trimmed and framed.
void BM_LineToFrame(benchmark::State& state) {
  const std::string bytes = kReport + "\n";
  LineBuffer pending;
  for (auto _ : state) {
    pending.append(bytes.data(), bytes.size());
    while (auto line = pending.nextLine()) {
      std::string frame = nativeframing::frame(nativeframing::trimmed(*line));
      benchmark::DoNotOptimize(frame);
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_LineToFrame);

// Browser to application: a frame's header read, its payload made into one socket line.
void BM_FrameToLine(benchmark::State& state) {
  const std::string framed = nativeframing::frame(kReport);
  std::string line;
  for (auto _ : state) {
    const std::uint32_t length = nativeframing::readHeader(framed.data());
    line.assign(framed.data() + nativeframing::kHeaderBytes, length);
    nativeframing::makeSocketLine(line);
    benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(framed.size()));
}
BENCHMARK(BM_FrameToLine);

}  // namespace
}  // namespace velvix
