#include "Input/SystemSwitcherShortcut.hpp"

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

#include "Core/Services.hpp"
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
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<Enabler>::is_always_lock_free);

constexpr int kSignals[] = {SIGTERM, SIGINT,  SIGHUP,  SIGQUIT, SIGABRT,
                            SIGILL,  SIGTRAP, SIGSEGV, SIGBUS,  SIGFPE};

// Gives the system its switcher back, then lets the signal do what it would have done.
extern "C" void restoreAndReraise(int signal) {
  if (gDisabledByUs.exchange(false)) {
    if (Enabler enable = gEnabler.load()) enable();
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);
}

}  // namespace

SystemSwitcherShortcut::SystemSwitcherShortcut(Services& services) : services_(services) {}

bool SystemSwitcherShortcut::isDisabledByUs() {
  return gDisabledByUs.load();
}

bool SystemSwitcherShortcut::isSystemSwitcherOn() const {
  return services_.symbolicHotKeys->isEnabled(SymbolicHotKeys::kCommandTab) ||
         services_.symbolicHotKeys->isEnabled(SymbolicHotKeys::kCommandShiftTab);
}

void SystemSwitcherShortcut::installSignalHandlersOnce() {
  if (gHandlersInstalled.exchange(true)) return;
  struct sigaction action {};
  action.sa_handler = restoreAndReraise;
  ::sigemptyset(&action.sa_mask);
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

void SystemSwitcherShortcut::set(bool owned) {
  SymbolicHotKeys& keys = *services_.symbolicHotKeys;
  gEnabler = keys.signalSafeEnabler();
  installSignalHandlersOnce();
  const bool disabledByUs = gDisabledByUs.load();
  if (!owned && settled_ && !disabledByUs) return;  // the user's own setting stays as it is
  if (owned && settled_ && disabledByUs) {
    if (!isSystemSwitcherOn()) return;
    ++driftCount_;
    const double now = services_.loop->uptime();
    if (now - lastDriftLog_ >= kDriftReportInterval) {
      services_.log->health("system ⌘Tab found switched back on outside Velvix (" +
                            std::to_string(driftCount_) + "× since last noted); disabling again");
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
    services_.log->health(std::string("system ⌘Tab ") + (owned ? "disable" : "enable") +
                          " failed: " + joined);
  }

  const bool redisable = settled_ && disabledByUs == owned;
  settled_ = true;
  if (redisable) return;
  services_.log->health(owned ? "system ⌘Tab disabled; Velvix owns it" : "system ⌘Tab enabled");
}

}  // namespace velvix
