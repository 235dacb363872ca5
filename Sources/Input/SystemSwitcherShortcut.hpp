#pragma once
// Hands the system's own Command-Tab and Command-Shift-Tab over: off while this program owns the
// chord, back on when it lets go. Notices when something else switches them on again, and gives
// them back if the process dies by a signal. What the signal handler needs (whether we switched
// them off, and the async-signal-safe enabler) is process-wide; the rest lives on the instance.

#include <limits>

namespace velvix {

struct Services;

class SystemSwitcherShortcut {
 public:
  static constexpr double kDriftReportInterval = 60.0;

  explicit SystemSwitcherShortcut(Services& services);

  // owned = true switches the system's chord off, false switches it back on. The first call
  // always applies its state; later ones touch the system only on a change, or to undo a drift.
  void set(bool owned);
  // Either of the system's two switcher shortcuts is enabled.
  bool isSystemSwitcherOn() const;
  // This process switched the system's chord off and has not given it back.
  static bool isDisabledByUs();

 private:
  void installSignalHandlersOnce();

  Services& services_;
  bool settled_ = false;
  int driftCount_ = 0;
  double lastDriftLog_ = -std::numeric_limits<double>::infinity();
};

}  // namespace velvix
