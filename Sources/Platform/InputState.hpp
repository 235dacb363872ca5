#pragma once
// The combined session state of the input devices: how long ago the user last produced each kind
// of event.

namespace velvix::platform {

enum class InputEventType { keyDown, mouseMoved, leftMouseDown, scrollWheel, flagsChanged, rightMouseDown };

class InputState {
 public:
  virtual ~InputState() = default;
  virtual double secondsSinceLastEvent(InputEventType type) const = 0;
};

}  // namespace velvix::platform
