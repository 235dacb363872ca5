#include "Platform/Utf8.hpp"

#include <locale>

namespace velvix::utf8 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

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

// Length of the well-formed sequence at `i`, or 0 when the bytes there are ill-formed.
std::size_t wellFormedLength(const unsigned char* bytes, std::size_t size, std::size_t i) {
  const std::size_t length = sequenceLength(bytes[i]);
  if (length <= 1) return length;
  if (size - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k)
    if (!isContinuation(bytes[i + k])) return 0;
  // The second byte's range rules out over-long forms, surrogates and values past U+10FFFF.
  const unsigned char lead = bytes[i], second = bytes[i + 1];
  if (lead == 0xE0 && second < 0xA0) return 0;
  if (lead == 0xED && second > 0x9F) return 0;
  if (lead == 0xF0 && second < 0x90) return 0;
  if (lead == 0xF4 && second > 0x8F) return 0;
  return length;
}

// One code point of any text: ill-formed bytes give U+FFFD and are stepped over one at a time.
char32_t decodeLenient(std::string_view text, std::size_t& offset) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  if (wellFormedLength(bytes, text.size(), offset) == 0) {
    ++offset;
    return kReplacement;
  }
  return decodeForward(text, offset);
}

}  // namespace

bool isValid(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    if (bytes[i] < 0x80) {  // the common case: plain ASCII
      ++i;
      continue;
    }
    const std::size_t length = wellFormedLength(bytes, size, i);
    if (length == 0) return false;
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

std::u32string decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) out.push_back(decodeLenient(text, i));
  return out;
}

void append(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string encode(std::u32string_view codePoints) {
  std::string out;
  out.reserve(codePoints.size());
  for (char32_t cp : codePoints) append(out, cp);
  return out;
}

std::size_t length(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) decodeLenient(text, i);
  return count;
}

std::string prefix(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t taken = 0; taken < count && i < text.size(); ++taken) decodeLenient(text, i);
  return std::string(text.substr(0, i));
}

std::u32string folded(std::string_view text) {
  static const std::locale utf8Locale = [] {
    try {
      return std::locale("C.UTF-8");
    } catch (...) {
      return std::locale::classic();
    }
  }();
  const auto& ctype = std::use_facet<std::ctype<wchar_t>>(utf8Locale);
  std::u32string out = decode(text);
  for (char32_t& cp : out) cp = static_cast<char32_t>(ctype.tolower(static_cast<wchar_t>(cp)));
  return out;
}

bool containsCaseInsensitive(std::string_view text, std::string_view part) {
  return folded(text).find(folded(part)) != std::u32string::npos;
}

}  // namespace velvix::utf8
