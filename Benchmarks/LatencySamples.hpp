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
  // A time on both clocks (nanoseconds).
  struct Both {
    std::int64_t processor = 0;
    std::int64_t wall = 0;
  };
  // One iteration timed on both clocks, with the stand-in's share on each (the monotonic clock
  // read inside the processor-time bracket). Timing the stand-in reads the processor clock, a
  // system call, several times: on that clock Velvix's part holds what of those reads lies outside
  // the stand-in's bracket. On the monotonic clock it holds other programs' time only when the
  // thread lost the processor during Velvix's part. Neither is less than Velvix's own time, so
  // the smaller counts, for the whole as for Velvix's part.
  void add(Both total, Both simulated);
  // Runs `work` once, timed on both clocks: the monotonic clock, read without a system call, inside
  // the processor-time bracket.
  template <class Work>
  static Both measure(Work&& work) {
    const auto start = Clock::now();
    const auto wallStart = wallNow();
    work();
    const auto wall = wallNow() - wallStart;
    return {since(start), wall};
  }
  // Runs `work` once and adds its time. The processor clock is a system call, which on a virtual
  // machine costs over a microsecond, and reading it around the work counts that cost as the
  // work's (and any interrupt taken inside the call). So the work is also timed on the monotonic
  // clock and the smaller of the two counts: neither is less than the work's own processor time,
  // and the monotonic one holds other programs' time only when the thread lost the processor,
  // when it is the larger.
  template <class Work>
  void time(Work&& work) {
    add(measure(work), {});
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
