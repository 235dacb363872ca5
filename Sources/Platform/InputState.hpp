#pragma once
// The combined session state of the input devices: how long ago the user last produced each kind
// of event.

#include <cstdint>

namespace velvix::platform {

enum class InputEventType { keyDown, mouseMoved, leftMouseDown, scrollWheel, flagsChanged, rightMouseDown };

class InputState {
 public:
  virtual ~InputState() = default;
  virtual double secondsSinceLastEvent(InputEventType type) const = 0;
  // The modifier flags held now (combined session state).
  virtual std::uint64_t modifierFlags() const = 0;
  // Whether the key is down as the hardware sees it, whatever reached any program.
  virtual bool isKeyDown(std::int64_t keyCode) const = 0;
  // Whether a mouse button is held down now.
  virtual bool isAnyMouseButtonDown() const { return false; }
};

}  // namespace velvix::platform
