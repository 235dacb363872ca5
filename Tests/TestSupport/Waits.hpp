#pragma once
// How long a test waits for the program's own delays, built from the constants the code uses: a
// product delay changes in one place and the tests follow it.

#include "Core/DockController.hpp"
#include "Input/SwitcherController.hpp"

namespace velvix::test {

// A pointer resting on a Dock icon this long has its cards up: the hover delay, the tick that
// notices the pointer arrived and the one that finds the delay passed, and a little slack.
inline constexpr double kRestOnIcon = DockController::kHoverDelay + 2 * DockController::kTickInterval + 0.04;
// Off the icon and its cards this long, the cards are gone: the leave delay, its two ticks and
// slack.
inline constexpr double kLeaveIcon = DockController::kLeaveDelay + 2 * DockController::kTickInterval + 0.04;
// Past the delay before the switcher's panel shows for a held chord, with slack.
inline constexpr double kPastHUDReveal = SwitcherController::kHUDRevealDelay + 0.1;

}  // namespace velvix::test
