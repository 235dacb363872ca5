#pragma once
// The system's own shortcuts ("symbolic hot keys"): 1 is Command-Tab, 2 Command-Shift-Tab. The
// setter has an async-signal-safe twin, so a dying process can give the system its switcher back.

namespace velvix::platform {

class SymbolicHotKeys {
 public:
  static constexpr int kCommandTab = 1;
  static constexpr int kCommandShiftTab = 2;

  virtual ~SymbolicHotKeys() = default;
  virtual bool isEnabled(int hotKey) const = 0;
  // 0 on success, else an error code.
  virtual int setEnabled(int hotKey, bool enabled) = 0;
  // A function that may be called from a signal handler: it enables both switcher hot keys using
  // only async-signal-safe calls.
  virtual void (*signalSafeEnabler() const)() = 0;
};

}  // namespace velvix::platform
