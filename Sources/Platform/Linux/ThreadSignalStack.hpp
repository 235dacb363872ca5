#pragma once
// Gives a thread its own alternate signal stack, so that a stack overflow on it still reaches the
// process's signal handlers (which give the system its Command-Tab back) instead of killing the
// process outright. An alternate stack belongs to one thread: every thread the program starts
// calls this first. The stack is released when the thread ends.

#include <cstddef>

namespace velvix::platform {

class ThreadSignalStack {
 public:
  static constexpr std::size_t kMinimumSize = 64 * 1024;

  // Once per thread; a thread that already has an alternate stack keeps it. Returns whether the
  // calling thread has one afterwards.
  static bool ensureForThisThread();
};

}  // namespace velvix::platform
