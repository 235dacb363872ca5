#include "Support/Utf8.hpp"

#include <cwctype>
#include <locale>

namespace velvix::Utf8 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `i`, advancing it; nothing valid gives U+FFFD and one byte.
char32_t next(std::string_view s, std::size_t& i, bool& valid) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  valid = true;
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  int extra = 0;
  char32_t cp = 0, minimum = 0;
  if ((lead & 0xE0) == 0xC0) extra = 1, cp = lead & 0x1F, minimum = 0x80;
  else if ((lead & 0xF0) == 0xE0) extra = 2, cp = lead & 0x0F, minimum = 0x800;
  else if ((lead & 0xF8) == 0xF0) extra = 3, cp = lead & 0x07, minimum = 0x10000;
  else {
    valid = false;
    ++i;
    return kReplacement;
  }
  if (i + extra >= s.size()) {
    valid = false;
    ++i;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    const unsigned char c = byte(i + k);
    if ((c & 0xC0) != 0x80) {
      valid = false;
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    valid = false;
    ++i;
    return kReplacement;
  }
  i += extra + 1;
  return cp;
}

}  // namespace

bool isValid(std::string_view text) {
  bool valid = true;
  for (std::size_t i = 0; i < text.size();) {
    next(text, i, valid);
    if (!valid) return false;
  }
  return true;
}

std::u32string decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  bool valid = true;
  for (std::size_t i = 0; i < text.size();) out.push_back(next(text, i, valid));
  return out;
}

std::string encode(std::u32string_view codePoints) {
  std::string out;
  out.reserve(codePoints.size());
  for (char32_t cp : codePoints) {
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
  return out;
}

std::size_t length(std::string_view text) {
  std::size_t count = 0;
  bool valid = true;
  for (std::size_t i = 0; i < text.size(); ++count) next(text, i, valid);
  return count;
}

std::string prefix(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  bool valid = true;
  for (std::size_t taken = 0; taken < count && i < text.size(); ++taken) next(text, i, valid);
  return std::string(text.substr(0, i));
}

std::u32string folded(std::string_view text) {
  static const std::locale utf8 = [] {
    try {
      return std::locale("C.UTF-8");
    } catch (...) {
      return std::locale::classic();
    }
  }();
  const auto& ctype = std::use_facet<std::ctype<wchar_t>>(utf8);
  std::u32string out = decode(text);
  for (char32_t& cp : out) cp = static_cast<char32_t>(ctype.tolower(static_cast<wchar_t>(cp)));
  return out;
}

bool containsCaseInsensitive(std::string_view text, std::string_view part) {
  return folded(text).find(folded(part)) != std::u32string::npos;
}

}  // namespace velvix::Utf8
