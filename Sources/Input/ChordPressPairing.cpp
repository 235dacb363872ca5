#include "Input/ChordPressPairing.hpp"

namespace velvix {
namespace {

// True (and the other side's mark spent) when the other side acted less than the window ago;
// otherwise this side marks the press as its own.
bool pairedWithOther(std::optional<double>& other, std::optional<double>& own, double now) {
  if (other && now - *other < ChordPressPairing::kWindow) {
    other.reset();
    return true;
  }
  own = now;
  return false;
}

}  // namespace

bool ChordPressPairing::tapShouldAct(double now) {
  return !pairedWithOther(hotkeyMark, tapMark, now);
}

bool ChordPressPairing::hotkeyShouldAct(double now) {
  return !pairedWithOther(tapMark, hotkeyMark, now);
}

}  // namespace velvix
