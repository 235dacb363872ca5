#include "LatencySamples.hpp"

#include <algorithm>

#include <time.h>

namespace velvix::bench {
namespace {

double percentile(std::vector<std::int64_t> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return static_cast<double>(values[std::min(at, values.size() - 1)]) / 1000.0;
}

}  // namespace

LatencySamples::Clock::time_point LatencySamples::Clock::now() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t LatencySamples::wallNow() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void LatencySamples::add(std::int64_t total, std::int64_t simulated) {
  totals_.push_back(total);
  own_.push_back(std::max<std::int64_t>(0, total - simulated));
  simulated_ += simulated;
}

void LatencySamples::report(benchmark::State& state, const std::string& prefix) const {
  if (totals_.empty()) return;
  state.counters[prefix + "p50_us"] = percentile(totals_, 0.50);
  state.counters[prefix + "p99_us"] = percentile(totals_, 0.99);
  state.counters[prefix + "sim_us"] =
      static_cast<double>(simulated_) / 1000.0 / static_cast<double>(totals_.size());
  state.counters[prefix + "own_p50_us"] = percentile(own_, 0.50);
  state.counters[prefix + "own_p99_us"] = percentile(own_, 0.99);
}

}  // namespace velvix::bench
