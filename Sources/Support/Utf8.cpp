#include "Support/Utf8.hpp"

namespace velvix::utf8 {
namespace {

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the sequence a lead byte starts, 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

bool isValid(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    if (bytes[i] < 0x80) {  // the common case: plain ASCII
      ++i;
      continue;
    }
    const std::size_t length = sequenceLength(bytes[i]);
    if (length == 0 || size - i < length) return false;
    for (std::size_t k = 1; k < length; ++k)
      if (!isContinuation(bytes[i + k])) return false;
    // The second byte's range rules out over-long forms, surrogates and values past U+10FFFF.
    const unsigned char lead = bytes[i], second = bytes[i + 1];
    if (lead == 0xE0 && second < 0xA0) return false;
    if (lead == 0xED && second > 0x9F) return false;
    if (lead == 0xF0 && second < 0x90) return false;
    if (lead == 0xF4 && second > 0x8F) return false;
    i += length;
  }
  return true;
}

char32_t decodeForward(std::string_view text, std::size_t& offset) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char lead = bytes[offset];
  const std::size_t length = sequenceLength(lead);
  if (length <= 1) {
    ++offset;
    return lead;
  }
  char32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) value = (value << 6) | (bytes[offset + k] & 0x3F);
  offset += length;
  return value;
}

char32_t decodeBackward(std::string_view text, std::size_t& offset) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t start = offset - 1;
  while (start > 0 && isContinuation(bytes[start])) --start;
  std::size_t cursor = start;
  const char32_t value = decodeForward(text, cursor);
  offset = start;
  return value;
}

}  // namespace velvix::utf8
