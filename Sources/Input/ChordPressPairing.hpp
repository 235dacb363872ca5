#pragma once
// One physical Command-Tab press can reach both the event tap and the fallback hot key. The
// pairing remembers when each side last acted, so the side that comes second within half a
// second leaves the press alone. Times are monotonic seconds.

#include <optional>

namespace velvix {

struct ChordPressPairing {
  static constexpr double kWindow = 0.5;

  std::optional<double> tapMark;
  std::optional<double> hotkeyMark;

  // The tap saw a chord press: false when the hot key already acted on it (its mark is used up).
  bool tapShouldAct(double now);
  // The hot key saw a chord press: false when the tap already acted on it.
  bool hotkeyShouldAct(double now);
};

}  // namespace velvix
