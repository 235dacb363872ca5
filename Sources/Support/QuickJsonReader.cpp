#include "Support/QuickJsonReader.hpp"

#include <cstdint>
#include <string>

#include "Platform/Utf8.hpp"

namespace velvix {
namespace {

using nlohmann::json;

// Below 10^18 an integer is the same value as a signed and as an unsigned 64-bit number; longer
// ones, fractions and exponents are left to the general reader and its rounding rules.
constexpr std::ptrdiff_t kMaxDigits = 18;

// Bytes a string holds as they are and that need no further look: printable ASCII but the quote
// and the backslash.
constexpr std::array<bool, 256> kPlainASCII = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
  return plain;
}();

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<nlohmann::json> QuickJsonReader::readObject(std::string_view text) {
  QuickJsonReader reader(text);
  json document;
  if (reader.peek() != '{' || !reader.value(document, 0) || !reader.finished()) return std::nullopt;
  return document;
}

char QuickJsonReader::peek() {
  skipSpace();
  return declined_ || at_ == end_ ? '\0' : *at_;
}

bool QuickJsonReader::enterObject() {
  if (peek() != '{' || depth_ >= kMaxDepth) return decline();
  ++at_;
  firstMember_[static_cast<std::size_t>(++depth_)] = true;
  return true;
}

bool QuickJsonReader::nextKey(std::string& key) {
  if (declined_ || depth_ == 0) return decline();
  bool& first = firstMember_[static_cast<std::size_t>(depth_)];
  if (next('}')) {
    --depth_;
    return false;
  }
  if (!first && !next(',')) return decline();
  first = false;
  key.clear();
  skipSpace();
  if (at_ == end_ || *at_ != '"' || !text(key) || !next(':')) return decline();
  return true;
}

bool QuickJsonReader::readValue(json& out) {
  skipSpace();
  return !declined_ && (value(out, depth_) || decline());
}

bool QuickJsonReader::readText(std::optional<std::string>& out) {
  if (peek() == '"') {
    out.emplace();
    return text(*out) || decline();
  }
  out.reset();
  json other;
  return readValue(other);
}

bool QuickJsonReader::readInteger(std::optional<std::int64_t>& out) {
  json value;
  if (!readValue(value)) return false;
  out = value.is_number_integer() ? std::optional(value.get<std::int64_t>()) : std::nullopt;
  return true;
}

bool QuickJsonReader::readBoolean(std::optional<bool>& out) {
  json value;
  if (!readValue(value)) return false;
  out = value.is_boolean() ? std::optional(value.get<bool>()) : std::nullopt;
  return true;
}

bool QuickJsonReader::finished() {
  skipSpace();
  return !declined_ && depth_ == 0 && at_ == end_;
}

void QuickJsonReader::skipSpace() {
  while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t')) ++at_;
}

bool QuickJsonReader::next(char c) {
  skipSpace();
  if (at_ == end_ || *at_ != c) return false;
  ++at_;
  return true;
}

// Replaces `out` with the value at the reading position.
bool QuickJsonReader::value(json& out, int depth) {
  if (at_ == end_) return false;
  switch (*at_) {
    case '{':
      return object(out, depth + 1);
    case '[':
      return array(out, depth + 1);
    case '"': {
      std::string decoded;
      if (!text(decoded)) return false;
      out = std::move(decoded);
      return true;
    }
    case 't':
      return literal("true", true, out);
    case 'f':
      return literal("false", false, out);
    case 'n':
      return literal("null", nullptr, out);
    default:
      return number(out);
  }
}

bool QuickJsonReader::object(json& out, int depth) {
  if (depth > kMaxDepth) return false;
  ++at_;
  out = json::object();
  auto& members = out.get_ref<json::object_t&>();
  if (next('}')) return true;
  do {
    std::string key;
    skipSpace();
    if (at_ == end_ || *at_ != '"' || !text(key) || !next(':')) return false;
    skipSpace();
    // A key given twice keeps its later value, as with the general reader.
    if (!value(members[std::move(key)], depth)) return false;
  } while (next(','));
  return next('}');
}

bool QuickJsonReader::array(json& out, int depth) {
  if (depth > kMaxDepth) return false;
  ++at_;
  out = json::array();
  auto& elements = out.get_ref<json::array_t&>();
  if (next(']')) return true;
  do {
    skipSpace();
    if (!value(elements.emplace_back(), depth)) return false;
  } while (next(','));
  return next(']');
}

// At the opening quote: the text up to the closing one, its escapes decoded.
bool QuickJsonReader::text(std::string& out) {
  const char* begin = ++at_;
  const char* plain = at_;  // the run of bytes copied as they are
  bool beyondASCII = false;
  for (;;) {
    while (at_ != end_ && kPlainASCII[static_cast<unsigned char>(*at_)]) ++at_;
    if (at_ == end_) return false;
    const auto c = static_cast<unsigned char>(*at_);
    if (c == '"') break;
    if (c < 0x20) return false;  // control characters must be escaped
    if (c != '\\') {
      beyondASCII = true;
      ++at_;
      continue;
    }
    out.append(plain, at_);
    if (!escape(out)) return false;
    plain = at_;
  }
  out.append(plain, at_);
  if (beyondASCII && !utf8::isValid(std::string_view(begin, static_cast<std::size_t>(at_ - begin))))
    return false;
  ++at_;
  return true;
}

bool QuickJsonReader::escape(std::string& out) {
  if (end_ - at_ < 2) return false;
  const char kind = at_[1];
  at_ += 2;
  switch (kind) {
    case '"':
    case '\\':
    case '/':
      out += kind;
      return true;
    case 'b':
      out += '\b';
      return true;
    case 'f':
      out += '\f';
      return true;
    case 'n':
      out += '\n';
      return true;
    case 'r':
      out += '\r';
      return true;
    case 't':
      out += '\t';
      return true;
    case 'u':
      return unicodeEscape(out);
    default:
      return false;
  }
}

// The four hex digits of a "\u" escape, or -1.
long QuickJsonReader::hexUnit() {
  if (end_ - at_ < 4) return -1;
  long unit = 0;
  for (int k = 0; k < 4; ++k) {
    const int digit = hexValue(at_[k]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  at_ += 4;
  return unit;
}

// A surrogate half must come in a pair; a lone one is the general reader's to repair.
bool QuickJsonReader::unicodeEscape(std::string& out) {
  long unit = hexUnit();
  if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) return false;
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u') return false;
    at_ += 2;
    const long low = hexUnit();
    if (low < 0xDC00 || low > 0xDFFF) return false;
    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
  }
  utf8::append(out, static_cast<char32_t>(unit));
  return true;
}

// An integer: negative ones are signed numbers, the others unsigned, as the general reader
// types them.
bool QuickJsonReader::number(json& out) {
  const bool negative = *at_ == '-';
  if (negative) ++at_;
  const char* digits = at_;
  std::uint64_t magnitude = 0;
  while (at_ != end_ && *at_ >= '0' && *at_ <= '9')
    magnitude = magnitude * 10 + static_cast<unsigned>(*at_++ - '0');
  const std::ptrdiff_t count = at_ - digits;
  if (count == 0 || count > kMaxDigits || (*digits == '0' && count > 1)) return false;
  if (at_ != end_ && (*at_ == '.' || *at_ == 'e' || *at_ == 'E')) return false;
  if (negative)
    out = -static_cast<std::int64_t>(magnitude);
  else
    out = magnitude;
  return true;
}

bool QuickJsonReader::literal(std::string_view word, json meaning, json& out) {
  if (static_cast<std::size_t>(end_ - at_) < word.size() || std::string_view(at_, word.size()) != word)
    return false;
  at_ += word.size();
  out = std::move(meaning);
  return true;
}

}  // namespace velvix
