#include "Input/SystemSwitcherShortcut.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include <unistd.h>

#include "Platform/MainLoop.hpp"
#include "Platform/SymbolicHotKeys.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {
namespace {

using platform::SymbolicHotKeys;
using Enabler = void (*)();

// Read by the signal handler: lock-free atomics only.
std::atomic<bool> gDisabledByUs{false};
std::atomic<Enabler> gEnabler{nullptr};
std::atomic<bool> gHandlersInstalled{false};
std::atomic<int> gQuitRequestFD{-1};
std::atomic<bool> gQuitRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<Enabler>::is_always_lock_free &&
              std::atomic<int>::is_always_lock_free);

// Crash signals, termination signals, and every other signal whose default action ends the
// process: any of them would otherwise leave the system without its Command-Tab.
constexpr int kSignals[] = {SIGTERM, SIGINT,  SIGHUP,  SIGQUIT, SIGABRT,   SIGILL,  SIGTRAP, SIGSEGV, SIGBUS,
                            SIGFPE,  SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGSYS};

// Room for the handler after a stack overflow; static, so nothing is allocated in the handler.
alignas(16) char gAlternateStack[64 * 1024];

// Gives the system its switcher back, then lets the signal do what it would have done.
void restoreAndReraise(int signal) {
  if (gDisabledByUs.exchange(false)) {
    if (Enabler enable = gEnabler.load()) enable();
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);
}

extern "C" void onSignal(int signal) {
  // A closed terminal or an ended session (SIGHUP) asks a program to go as SIGTERM does.
  if (signal == SIGINT || signal == SIGTERM || signal == SIGHUP) {
    const int fd = gQuitRequestFD.load();
    if (fd >= 0) {
      // Only the first one starts the quit; later ones join it, so a second Ctrl-C or a session
      // manager's repeated SIGTERM cannot cut the clean-up short. The quit's own deadline still
      // ends the process if the clean-up hangs.
      if (!gQuitRequested.exchange(true)) {
        const int saved = errno;
        const unsigned char byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] auto written = ::write(fd, &byte, 1);
        errno = saved;
      }
      return;
    }
  }
  restoreAndReraise(signal);
}

}  // namespace

void SystemSwitcherShortcut::installSignalHandlers() {
  if (gHandlersInstalled.exchange(true)) return;
  stack_t alternate{};
  alternate.ss_sp = gAlternateStack;
  alternate.ss_size = sizeof(gAlternateStack);
  ::sigaltstack(&alternate, nullptr);
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_ONSTACK;
  ::sigemptyset(&action.sa_mask);
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

void SystemSwitcherShortcut::routeQuitSignalsTo(int fd) {
  installSignalHandlers();
  gQuitRequestFD = fd;
}

void SystemSwitcherShortcut::giveBackAndReraise(int signal) {
  restoreAndReraise(signal);
}

SystemSwitcherShortcut::SystemSwitcherShortcut(SymbolicHotKeys& keys, platform::MainLoop& loop, DebugLog& log)
    : keys_(keys), loop_(loop), log_(log) {}

bool SystemSwitcherShortcut::isDisabledByUs() {
  return gDisabledByUs.load();
}

bool SystemSwitcherShortcut::isSystemSwitcherOn() const {
  return keys_.isEnabled(SymbolicHotKeys::kCommandTab) || keys_.isEnabled(SymbolicHotKeys::kCommandShiftTab);
}

void SystemSwitcherShortcut::set(bool owned) {
  SymbolicHotKeys& keys = keys_;
  gEnabler = keys.signalSafeEnabler();
  installSignalHandlers();
  const bool disabledByUs = gDisabledByUs.load();
  if (!owned && settled_ && !disabledByUs) return;  // the user's own setting stays as it is
  if (owned && settled_ && disabledByUs) {
    if (!isSystemSwitcherOn()) return;
    ++driftCount_;
    const double now = loop_.uptime();
    if (now - lastDriftLog_ >= kDriftReportInterval) {
      log_.health("system ⌘Tab found switched back on outside Velvix (" + std::to_string(driftCount_) +
                  "× since last noted); disabling again");
      lastDriftLog_ = now;
      driftCount_ = 0;
    }
  }

  // A signal between the two steps must still find the chord to give back.
  if (owned) gDisabledByUs = true;
  std::vector<std::string> errors;
  for (int hotKey : {SymbolicHotKeys::kCommandTab, SymbolicHotKeys::kCommandShiftTab})
    if (int error = keys.setEnabled(hotKey, !owned); error != 0) errors.push_back(std::to_string(error));
  if (!owned) gDisabledByUs = false;
  if (!errors.empty()) {
    std::string joined;
    for (const auto& code : errors) joined += (joined.empty() ? "" : ", ") + code;
    log_.health(std::string("system ⌘Tab ") + (owned ? "disable" : "enable") + " failed: " + joined);
  }

  const bool redisable = settled_ && disabledByUs == owned;
  settled_ = true;
  if (redisable) return;
  log_.health(owned ? "system ⌘Tab disabled; Velvix owns it" : "system ⌘Tab enabled");
}

}  // namespace velvix
