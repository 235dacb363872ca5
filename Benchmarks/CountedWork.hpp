#pragma once
// Instruction counts of the work a benchmark times, for the rows a loaded machine makes too noisy
// to judge by the clock. scripts/bench-instructions runs such a benchmark under callgrind with
// collection off; the benchmark turns it on only around the work it times, for a fixed number of
// iterations, so the count divides by a known number. Outside callgrind both do nothing.

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define VELVIX_BENCH_CALLGRIND 1
#endif

#include <benchmark/benchmark.h>

namespace velvix::bench {

// Iterations of a counted benchmark under callgrind.
inline constexpr int kCountedIterations = 8;

inline bool underCallgrind() {
#ifdef VELVIX_BENCH_CALLGRIND
  return RUNNING_ON_VALGRIND != 0;
#else
  return false;
#endif
}

// Runs `work`, counted when under callgrind.
template <class Work>
void counted(Work&& work) {
#ifdef VELVIX_BENCH_CALLGRIND
  CALLGRIND_TOGGLE_COLLECT;
  work();
  CALLGRIND_TOGGLE_COLLECT;
#else
  work();
#endif
}

// For BENCHMARK(...)->Apply: a fixed number of iterations under callgrind.
inline void fixedIterationsUnderCallgrind(benchmark::internal::Benchmark* b) {
  if (underCallgrind()) b->Iterations(kCountedIterations);
}

}  // namespace velvix::bench
