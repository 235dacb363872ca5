#pragma once
// What set-up that types on the user's behalf needs of the keyboard: whether the user's input can
// be held off while it types, and holding it. The event tap provides it; the set-up knows the tap
// only through this.

#include <functional>

namespace velvix {

class InputLock {
 public:
  // Whether input can be held now: the tap is installed and enabled.
  virtual bool canLockInput() const = 0;
  // Holds the user's input back for at most `timeout` seconds. `onAbort` is told when the hold
  // ends without unlockInput(): true when the user pressed Escape, false at the time-out.
  virtual void lockInput(double timeout, std::function<void(bool byEscape)> onAbort) = 0;
  virtual void unlockInput() = 0;

 protected:
  ~InputLock() = default;
};

}  // namespace velvix
