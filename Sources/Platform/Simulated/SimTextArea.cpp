#include "Platform/Simulated/SimTextArea.hpp"

#include "Platform/Utf8.hpp"

namespace velvix::sim {

namespace {
std::int64_t units(char32_t c) {
  return c >= 0x10000 ? 2 : 1;
}

std::int64_t units(std::string_view text) {
  std::int64_t n = 0;
  for (char32_t c : utf8::decode(text)) n += units(c);
  return n;
}
}  // namespace

std::int64_t SimTextArea::length16() const {
  return units(text);
}

bool SimTextArea::highlight(std::string_view part) {
  const auto at = text.rfind(part);
  if (part.empty() || at == std::string::npos) return false;
  selection = {units(std::string_view(text).substr(0, at)), units(part)};
  return true;
}

std::optional<std::string> SimTextArea::slice(platform::AXRange range) const {
  if (range.location < 0 || range.length < 0 || range.location + range.length > length16())
    return std::nullopt;
  std::u32string out;
  std::int64_t at = 0;
  for (char32_t c : utf8::decode(text)) {
    if (at >= range.location && at < range.location + range.length) out.push_back(c);
    at += units(c);
  }
  return utf8::encode(out);
}

}  // namespace velvix::sim
