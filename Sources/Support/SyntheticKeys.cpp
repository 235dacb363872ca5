#include "Support/SyntheticKeys.hpp"

#include "Platform/EventTaps.hpp"
#include "Platform/InputEvent.hpp"
#include "Platform/KeyboardLayout.hpp"

namespace velvix::SyntheticKeys {

void post(platform::EventTaps& taps, std::int64_t keyCode, std::uint64_t flags, const std::string& text) {
  for (auto type : {platform::EventType::keyDown, platform::EventType::keyUp}) {
    platform::InputEvent event;
    event.type = type;
    event.keyCode = keyCode;
    event.flags = flags;
    event.sourceUserData = platform::kOwnEventMarker;
    event.text = text;
    taps.post(event);
  }
}

void press(platform::EventTaps& taps, std::int64_t keyCode, std::uint64_t flags) {
  post(taps, keyCode, flags, {});
}

void type(platform::EventTaps& taps, const std::string& text) {
  post(taps, 0, 0, text);
}

std::optional<std::int64_t> keyCode(const platform::KeyboardLayout& layout, char character) {
  for (std::int64_t code = 0; code < 128; ++code)
    if (layout.character(code) == std::string(1, character)) return code;
  return std::nullopt;
}

}  // namespace velvix::SyntheticKeys
