#pragma once
// Key presses this program posts into the session itself, each marked as its own ("Vlvx") so that
// its event tap lets them through even while user input is locked; and the key that types a
// letter in the current keyboard layout, so a shortcut lands where the user's layout has it.

#include <cstdint>
#include <optional>
#include <string>

namespace velvix {

namespace platform {
class EventTaps;
class KeyboardLayout;
}  // namespace platform

namespace SyntheticKeys {

inline constexpr std::int64_t kReturn = 36;

// A key-down and a key-up of `keyCode` with `flags`, both carrying `text`.
void post(platform::EventTaps& taps, std::int64_t keyCode, std::uint64_t flags, const std::string& text);
// A key-down and a key-up of `keyCode` with `flags`.
void press(platform::EventTaps& taps, std::int64_t keyCode, std::uint64_t flags = 0);
// The whole text in one key-down and key-up pair (key code 0) that carry it.
void type(platform::EventTaps& taps, const std::string& text);
// The first key code (0 to 127) that types `character` without modifiers, or nothing.
std::optional<std::int64_t> keyCode(const platform::KeyboardLayout& layout, char character);

}  // namespace SyntheticKeys
}  // namespace velvix
