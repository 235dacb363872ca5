#pragma once
// The time of every iteration of a benchmark, for the tail a mean hides: the system disables an
// event tap that answers late once, not on average. Also splits each time into the part spent in
// the simulated platform and Velvix's own part, so a figure measures Velvix, not the stand-in.
// Times are the thread's processor time: on a shared machine, the time other programs hold the
// processor is not Velvix's.

#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

namespace velvix::bench {

class LatencySamples {
 public:
  // The calling thread's processor time.
  struct Clock {
    using time_point = std::int64_t;  // nanoseconds
    static time_point now();
  };

  // One iteration took `total`, of which `simulated` inside the stand-in (nanoseconds).
  void add(std::int64_t total, std::int64_t simulated = 0);
  // Counters (microseconds): p50 and p99 of the whole, the stand-in's mean, and p50 and p99 of
  // Velvix's own part.
  void report(benchmark::State& state) const;

  static std::int64_t since(Clock::time_point start) { return Clock::now() - start; }

 private:
  std::vector<std::int64_t> totals_;
  std::vector<std::int64_t> own_;
  std::int64_t simulated_ = 0;
};

}  // namespace velvix::bench
