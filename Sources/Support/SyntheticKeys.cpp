#include "Support/SyntheticKeys.hpp"

#include "Core/Services.hpp"
#include "Platform/EventTaps.hpp"
#include "Platform/InputEvent.hpp"
#include "Platform/KeyboardLayout.hpp"

namespace velvix::SyntheticKeys {

void post(Services& services, std::int64_t keyCode, std::uint64_t flags, const std::string& text) {
  if (!services.eventTaps) return;
  for (auto type : {platform::EventType::keyDown, platform::EventType::keyUp}) {
    platform::InputEvent event;
    event.type = type;
    event.keyCode = keyCode;
    event.flags = flags;
    event.sourceUserData = platform::kOwnEventMarker;
    event.text = text;
    services.eventTaps->post(event);
  }
}

void press(Services& services, std::int64_t keyCode, std::uint64_t flags) {
  post(services, keyCode, flags, {});
}

void type(Services& services, const std::string& text) {
  post(services, 0, 0, text);
}

std::optional<std::int64_t> keyCode(const Services& services, char character) {
  if (!services.keyboardLayout) return std::nullopt;
  for (std::int64_t code = 0; code < 128; ++code)
    if (services.keyboardLayout->character(code) == std::string(1, character)) return code;
  return std::nullopt;
}

}  // namespace velvix::SyntheticKeys
