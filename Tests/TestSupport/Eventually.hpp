#pragma once
// Waiting for a real process or thread: checks `done` until it holds or the real-time bound
// passes. Only for tests of real processes; simulated time is advanced, never waited for.

#include <chrono>
#include <functional>

namespace velvix::test {

bool eventually(const std::function<bool()>& done,
                std::chrono::milliseconds bound = std::chrono::seconds(20));

}  // namespace velvix::test
