#pragma once
// The session's event taps: a filtering tap at the hardware event point sees keyboard and mouse
// events before any application and may drop or rewrite them; the system disables a tap whose
// callback answers too late. Also the list of every process's taps, and posting synthetic events.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "Platform/InputEvent.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::platform {

class EventTaps {
 public:
  // Returns true to pass the event (possibly rewritten in place), false to drop it.
  using Callback = std::function<bool(InputEvent& event)>;
  using TapID = std::uint64_t;

  struct TapInfo {
    Pid ownerPID = 0;
    bool enabled = true;
    bool listenOnly = false;
    bool atHardwarePoint = true;
    std::uint64_t eventsOfInterest = 0;
    double maxLatencyMicroseconds = 0;
  };

  virtual ~EventTaps() = default;
  // A filtering tap at the head of the hardware event point; nothing when the system refuses it
  // (no Accessibility permission).
  virtual std::optional<TapID> createTap(std::uint64_t eventMask, Callback callback) = 0;
  virtual void setEnabled(TapID tap, bool enabled) = 0;
  virtual bool isEnabled(TapID tap) const = 0;
  virtual bool isValid(TapID tap) const = 0;
  virtual void invalidate(TapID tap) = 0;
  virtual std::vector<TapInfo> tapList() const = 0;
  // Posts a synthetic event into the session at the hardware point.
  virtual void post(const InputEvent& event) = 0;
};

}  // namespace velvix::platform
