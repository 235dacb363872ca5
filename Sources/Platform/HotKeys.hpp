#pragma once
// Application hot keys: key combinations the system hands to this program even when event taps
// cannot see keystrokes (secure input). Registrations are identified by a four-character
// signature and an id; presses arrive on the main loop.

#include <cstdint>
#include <functional>

namespace velvix::platform {

class HotKeys {
 public:
  // Modifier bits of hot-key registrations (not event flags).
  static constexpr std::uint32_t kCommand = 0x100;
  static constexpr std::uint32_t kShift = 0x200;
  static constexpr std::uint32_t kOption = 0x800;
  static constexpr std::uint32_t kControl = 0x1000;
  static constexpr int kNoError = 0;

  using Handler = std::function<void(std::uint32_t signature, std::uint32_t id)>;

  virtual ~HotKeys() = default;
  // Installs the application's hot-key handler; a status, 0 on success.
  virtual int installHandler(Handler handler) = 0;
  // A status, 0 on success with `ref` set.
  virtual int registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t signature,
                             std::uint32_t id, std::uint64_t& ref) = 0;
  virtual void unregisterHotKey(std::uint64_t ref) = 0;
};

}  // namespace velvix::platform
