#pragma once
// The time of every iteration of a benchmark, for the tail a mean hides: the system disables an
// event tap that answers late once, not on average. Also splits each time into the part spent in
// the simulated platform and Velvix's own part, so a figure measures Velvix, not the stand-in.
// Times are wall time (the monotonic clock): what a person waits, Qt's worker threads and the
// kernel included (see Benchmarks/README.md for the clock policy).

#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace velvix::bench {

class LatencySamples {
 public:
  // The clock every row is timed on: the monotonic clock.
  struct Clock {
    using time_point = std::int64_t;  // nanoseconds
    static time_point now();
  };

  // One iteration took `total`, of which `simulated` inside the stand-in (nanoseconds).
  void add(std::int64_t total, std::int64_t simulated = 0);
  // Runs `work` once and adds its time on the monotonic clock.
  template <class Work>
  void time(Work&& work) {
    const auto start = wallNow();
    work();
    add(wallNow() - start);
  }
  // Counters (microseconds): p50 and p99 of the whole, the stand-in's mean, and p50 and p99 of
  // Velvix's own part; each name after `prefix`.
  void report(benchmark::State& state, const std::string& prefix = {}) const;

  static std::int64_t since(Clock::time_point start) { return Clock::now() - start; }
  // The monotonic clock (nanoseconds).
  static std::int64_t wallNow();

 private:
  std::vector<std::int64_t> totals_;
  std::vector<std::int64_t> own_;
  std::int64_t simulated_ = 0;
};

}  // namespace velvix::bench
