#include "TestSupport/Eventually.hpp"

#include <poll.h>

namespace velvix::test {

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    ::poll(nullptr, 0, 5);  // yield to the other process between checks
  }
  return true;
}

}  // namespace velvix::test
