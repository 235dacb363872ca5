#pragma once
// A window server in front of another that counts the time spent inside it: the simulated window
// server builds its rows as loosely typed dictionaries, which (with freeing them) is the
// stand-in's cost, not Velvix's. Benchmarks put it in front of the simulated desktop's and
// subtract what it measured.

#include <cstdint>
#include <utility>

#include "Platform/WindowServer.hpp"

namespace velvix::bench {

class TimedWindowServer final : public platform::WindowServer {
 public:
  // When the caller frees the rows it was given: at once, inside the time measured, or only
  // after it (a chord start hands them to the main loop to free once the key press is answered).
  enum class CallerFrees { atOnce, afterwards };

  // Which clocks time the stand-in. The processor clock is a system call: each read enters the
  // kernel, which on this machine costs the code running after it microseconds (caches and address
  // translations refilled), four reads per window list. A row that must tell microseconds times
  // the stand-in on the monotonic clock alone, which needs no system call.
  enum class Clocks { both, monotonicOnly };

  explicit TimedWindowServer(const platform::WindowServer& inner,
                             CallerFrees callerFrees = CallerFrees::atOnce, Clocks clocks = Clocks::both)
      : inner_(inner), callerFrees_(callerFrees), clocks_(clocks) {}

  // Nanoseconds (of processor time) spent inside the wrapped server so far (none counted when timed
  // on the monotonic clock alone), and the number of window-list reads.
  std::int64_t spent() const { return spent_; }
  // The same on the monotonic clock, the reads of the processor clock made here included.
  std::int64_t spentWall() const { return spentWall_; }
  std::int64_t listReads() const { return listReads_; }

  // The interface's own type, so that the side-by-side baseline of scripts/bench, whose rows were
  // of another type, builds with this file too.
  using Rows = decltype(std::declval<const platform::WindowServer&>().windowList(0));
  Rows windowList(std::uint32_t options) const override;
  int mainConnection() const override { return inner_.mainConnection(); }
  std::optional<nlohmann::json> managedDisplaySpaces(int connection) const override;
  std::optional<nlohmann::json> spacesForWindows(
      int connection, std::uint32_t mask, const std::vector<std::int64_t>& windowNumbers) const override;

 private:
  const platform::WindowServer& inner_;
  CallerFrees callerFrees_;
  Clocks clocks_;
  mutable std::int64_t spent_ = 0;
  mutable std::int64_t spentWall_ = 0;
  mutable std::int64_t listReads_ = 0;
};

}  // namespace velvix::bench
