#pragma once
// Hands the system's own Command-Tab and Command-Shift-Tab over: off while this program owns the
// chord, back on when it lets go. Notices when something else switches them on again, and gives
// them back if the process dies by a signal. What the signal handler needs (whether we switched
// them off, and the async-signal-safe enabler) is process-wide; the rest lives on the instance.

#include <limits>

namespace velvix {

class DebugLog;
namespace platform {
class MainLoop;
class SymbolicHotKeys;
}  // namespace platform

class SystemSwitcherShortcut {
 public:
  static constexpr double kDriftReportInterval = 60.0;

  // Each hand-over and each drift it finds goes to the health lines of `log`.
  SystemSwitcherShortcut(platform::SymbolicHotKeys& keys, platform::MainLoop& loop, DebugLog& log);

  // owned = true switches the system's chord off, false switches it back on. The first call
  // always applies its state; later ones touch the system only on a change, or to undo a drift.
  void set(bool owned);
  // Either of the system's two switcher shortcuts is enabled.
  bool isSystemSwitcherOn() const;
  // This process switched the system's chord off and has not given it back.
  static bool isDisabledByUs();

  // Installs, once per process, the handlers that give the chord back when a signal ends the
  // process: the crash signals, the termination signals and every other signal whose default
  // action ends a process. They run on an alternate stack, so a stack overflow is handled too
  // (for the thread that installed them, the main thread).
  static void installSignalHandlers();
  // From now on the first SIGINT, SIGTERM or SIGHUP writes its number as one byte to `fd`
  // instead, so the application can quit through its own terminate path; later ones are absorbed
  // by the quit under way. Any other signal still ends the process at once. Async-signal-safe on
  // the handler's side.
  static void routeQuitSignalsTo(int fd);
  // What the handler does for a signal it does not route: gives the chord back, restores the
  // signal's default action and raises it again. For a quit that did not finish in time.
  static void giveBackAndReraise(int signal);

 private:
  platform::SymbolicHotKeys& keys_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  bool settled_ = false;
  int driftCount_ = 0;
  double lastDriftLog_ = -std::numeric_limits<double>::infinity();
};

}  // namespace velvix
