#pragma once
// Keyboard and mouse events as the session event tap sees them, with the key codes, modifier flag
// bits and the own-event marker the system uses.

#include <cstdint>
#include <string>

#include "Platform/Geometry.hpp"

namespace velvix::platform {

enum class EventType : std::uint32_t {
  leftMouseDown = 1,
  leftMouseUp = 2,
  rightMouseDown = 3,
  keyDown = 10,
  keyUp = 11,
  flagsChanged = 12,
  otherMouseDown = 25,
  tapDisabledByTimeout = 0xFFFFFFFE,
  tapDisabledByUserInput = 0xFFFFFFFF,
};

namespace EventFlag {
inline constexpr std::uint64_t kShift = 0x20000;
inline constexpr std::uint64_t kControl = 0x40000;
inline constexpr std::uint64_t kOption = 0x80000;
inline constexpr std::uint64_t kCommand = 0x100000;
inline constexpr std::uint64_t kModifiers = kShift | kControl | kOption | kCommand;
}  // namespace EventFlag

namespace KeyCode {
inline constexpr std::int64_t kW = 13;
inline constexpr std::int64_t kTab = 48;
inline constexpr std::int64_t kEscape = 53;
inline constexpr std::int64_t kLeftArrow = 123;
inline constexpr std::int64_t kRightArrow = 124;
inline constexpr std::int64_t kDownArrow = 125;
inline constexpr std::int64_t kUpArrow = 126;
inline constexpr std::int64_t kMicrophone = 176;
}  // namespace KeyCode

// Events this program posts itself carry this in their source user-data field ("Vlvx").
inline constexpr std::int64_t kOwnEventMarker = 0x566C7678;

struct InputEvent {
  EventType type = EventType::keyDown;
  std::int64_t keyCode = 0;
  std::uint64_t flags = 0;
  bool autorepeat = false;
  std::int64_t sourceUserData = 0;
  Point location;  // global, top-left origin
  int clickCount = 1;
  // A posted key event may carry the text it types (a whole string in one event pair).
  std::string text;

  static constexpr std::uint64_t maskBit(EventType type) {
    return std::uint64_t{1} << static_cast<std::uint32_t>(type);
  }
};

}  // namespace velvix::platform
