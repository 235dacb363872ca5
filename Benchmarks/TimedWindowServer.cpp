#include "TimedWindowServer.hpp"

#include <cstdlib>

#include <benchmark/benchmark.h>

#include "LatencySamples.hpp"

namespace velvix::bench {
namespace {

// The processor clock, unless the stand-in is timed on the monotonic clock alone.
LatencySamples::Clock::time_point processorNow(TimedWindowServer::Clocks clocks) {
  return clocks == TimedWindowServer::Clocks::both ? LatencySamples::Clock::now() : 0;
}

template <typename Call>
auto timed(TimedWindowServer::Clocks clocks, std::int64_t& spent, std::int64_t& spentWall, Call call) {
  const auto wallStart = LatencySamples::wallNow();
  const auto start = processorNow(clocks);
  auto result = call();
  spent += processorNow(clocks) - start;
  spentWall += LatencySamples::wallNow() - wallStart;
  return result;
}

}  // namespace

// The rows are the stand-in's loosely typed dictionaries, and the caller frees them: that is the
// stand-in's cost as much as building them. When the caller frees them inside the time measured,
// the freeing is measured on a copy freed here; making and freeing the copy are counted too, so
// they leave Velvix's figure, and the freeing once more for the caller's own.
TimedWindowServer::Rows TimedWindowServer::windowList(std::uint32_t options) const {
  ++listReads_;
  const auto wallStart = LatencySamples::wallNow();
  const auto start = processorNow(clocks_);
  auto rows = inner_.windowList(options);
  const auto built = processorNow(clocks_);
  // A caller that frees the rows after answering frees them outside the time measured: a copy
  // made and freed here would only push the caller's own data out of the cache just before it
  // runs, which the system's window list does not do.
  Rows copy = callerFrees_ == CallerFrees::atOnce ? rows : Rows{};
  const auto copied = processorNow(clocks_);
  const auto wallCopied = LatencySamples::wallNow();
  copy.reset();
  // The allocator merges the many small blocks just freed at its next larger request: made here,
  // that work is counted with the freeing that caused it.
  void* merge = std::malloc(64 * 1024);
  benchmark::DoNotOptimize(merge);
  std::free(merge);
  const auto wallFreed = LatencySamples::wallNow();
  const auto freed = processorNow(clocks_);
  spent_ +=
      (built - start) + (copied - built) + (callerFrees_ == CallerFrees::atOnce ? 2 : 1) * (freed - copied);
  const std::int64_t freeingAgain = callerFrees_ == CallerFrees::atOnce ? wallFreed - wallCopied : 0;
  spentWall_ += LatencySamples::wallNow() - wallStart + freeingAgain;
  return rows;
}

std::optional<nlohmann::json> TimedWindowServer::managedDisplaySpaces(int connection) const {
  return timed(clocks_, spent_, spentWall_, [&] { return inner_.managedDisplaySpaces(connection); });
}

std::optional<nlohmann::json> TimedWindowServer::spacesForWindows(
    int connection, std::uint32_t mask, const std::vector<std::int64_t>& numbers) const {
  return timed(clocks_, spent_, spentWall_,
               [&] { return inner_.spacesForWindows(connection, mask, numbers); });
}

}  // namespace velvix::bench
