#pragma once
// The current keyboard layout: which character a key produces without modifiers, so that a
// shortcut posted by key code lands on the key that carries its letter in the user's layout.

#include <cstdint>
#include <optional>
#include <string>

namespace velvix::platform {

class KeyboardLayout {
 public:
  virtual ~KeyboardLayout() = default;
  // The text key `keyCode` (0 to 127) types without modifiers; nothing when the layout has no
  // translation data or the key types nothing.
  virtual std::optional<std::string> character(std::int64_t keyCode) const = 0;
};

}  // namespace velvix::platform
