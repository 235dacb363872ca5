#pragma once
// The chord registered a second time as an application hot key, so that a press still arrives
// when the event tap cannot see keystrokes (secure input, a disabled tap). Two registrations,
// forward and reverse (with Shift), for the trigger of the chosen mode; owned by the event tap,
// which re-registers at least once a second, and that is what retries a failed registration.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "Core/SettingsEnums.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class HotKeys;
}

class SwitcherHotkey {
 public:
  static constexpr std::uint32_t kSignature = 0x5678486B;  // "VxHk"
  static constexpr std::uint32_t kTabKeyCode = 48;
  static constexpr std::uint32_t kForwardID = 1;
  static constexpr std::uint32_t kReverseID = 2;

  // Registration failures and recoveries go to the health lines of `log`.
  SwitcherHotkey(platform::HotKeys& hotKeys, DebugLog& log);
  ~SwitcherHotkey();
  SwitcherHotkey(const SwitcherHotkey&) = delete;
  SwitcherHotkey& operator=(const SwitcherHotkey&) = delete;

  // Called on the main loop for every press; true for the Shift variant (reverse).
  std::function<void(bool reverse)> onPress;

  // Registers the chord of `mode`, or unregisters with no mode. Idempotent, and cheap when
  // nothing changed.
  void registerMode(std::optional<HotkeyMode> mode);
  // Both registrations are in place and their presses can reach `onPress`.
  bool isRegistered() const;
  std::optional<HotkeyMode> mode() const { return mode_; }

 private:
  void unregister();
  bool installHandlerOnce();
  void handlePress(std::uint32_t signature, std::uint32_t id);
  void health(const std::string& line);

  platform::HotKeys& hotKeys_;
  DebugLog& log_;
  std::vector<std::uint64_t> refs_;
  bool handlerInstalled_ = false;
  std::optional<HotkeyMode> mode_;
  std::optional<int> loggedFailure_;
  std::optional<int> loggedHandlerFailure_;
  AliveToken alive_;
};

}  // namespace velvix
