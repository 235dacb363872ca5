#include "Platform/Linux/XmlPropertyList.hpp"

#include <charconv>

#include "Platform/Utf8.hpp"

namespace velvix::platform::xmlplist {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A forward-only reader over the document; every step returns false on markup it cannot read.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  // Skips white space, comments, processing instructions and the document type declaration.
  bool skipMisc() {
    for (;;) {
      while (at_ < text_.size() && isSpace(text_[at_])) ++at_;
      if (startsWith("<?")) {
        if (!skipPast("?>")) return false;
      } else if (startsWith("<!--")) {
        if (!skipPast("-->")) return false;
      } else if (startsWith("<!DOCTYPE")) {
        if (!skipPast(">")) return false;
      } else {
        return true;
      }
    }
  }

  // Reads a tag at the cursor: its name, whether it closes (</x>) and whether it is empty (<x/>).
  struct Tag {
    std::string_view name;
    bool closing = false;
    bool empty = false;
  };
  std::optional<Tag> tag() {
    if (!startsWith("<")) return std::nullopt;
    const auto end = text_.find('>', at_);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view inside = text_.substr(at_ + 1, end - at_ - 1);
    at_ = end + 1;
    Tag tag;
    if (!inside.empty() && inside.front() == '/') {
      tag.closing = true;
      inside.remove_prefix(1);
    } else if (!inside.empty() && inside.back() == '/') {
      tag.empty = true;
      inside.remove_suffix(1);
    }
    std::size_t nameEnd = 0;
    while (nameEnd < inside.size() && !isSpace(inside[nameEnd])) ++nameEnd;
    tag.name = inside.substr(0, nameEnd);
    if (tag.name.empty()) return std::nullopt;
    return tag;
  }

  // The text of an element whose opening tag was just read, through its closing tag `name`.
  std::optional<std::string> textUntilClose(std::string_view name) {
    std::string out;
    for (;;) {
      if (at_ >= text_.size()) return std::nullopt;
      const char c = text_[at_];
      if (c == '&') {
        if (!entity(out)) return std::nullopt;
      } else if (c != '<') {
        out += c;
        ++at_;
      } else if (startsWith("<![CDATA[")) {
        const auto end = text_.find("]]>", at_);
        if (end == std::string_view::npos) return std::nullopt;
        out.append(text_.substr(at_ + 9, end - at_ - 9));
        at_ = end + 3;
      } else if (startsWith("<!--")) {
        if (!skipPast("-->")) return std::nullopt;
      } else {
        auto closing = tag();
        if (!closing || !closing->closing || closing->name != name) return std::nullopt;
        return out;
      }
    }
  }

  // Skips one value element whose opening tag was just read (nested ones included).
  bool skipElement(const Tag& opening) {
    if (opening.empty) return true;
    int depth = 1;
    while (depth > 0) {
      const auto next = text_.find('<', at_);
      if (next == std::string_view::npos) return false;
      at_ = next;
      if (startsWith("<!--")) {
        if (!skipPast("-->")) return false;
        continue;
      }
      if (startsWith("<![CDATA[")) {
        if (!skipPast("]]>")) return false;
        continue;
      }
      auto inner = tag();
      if (!inner) return false;
      if (inner->closing)
        --depth;
      else if (!inner->empty)
        ++depth;
    }
    return true;
  }

 private:
  bool startsWith(std::string_view prefix) const { return text_.substr(at_).starts_with(prefix); }

  bool skipPast(std::string_view marker) {
    const auto end = text_.find(marker, at_);
    if (end == std::string_view::npos) return false;
    at_ = end + marker.size();
    return true;
  }

  bool entity(std::string& out) {
    const auto end = text_.find(';', at_);
    if (end == std::string_view::npos || end - at_ > 10) return false;
    const std::string_view name = text_.substr(at_ + 1, end - at_ - 1);
    at_ = end + 1;
    if (name == "lt")
      out += '<';
    else if (name == "gt")
      out += '>';
    else if (name == "amp")
      out += '&';
    else if (name == "quot")
      out += '"';
    else if (name == "apos")
      out += '\'';
    else if (name.starts_with('#')) {
      const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
      const std::string_view digits = name.substr(hex ? 2 : 1);
      std::uint32_t value = 0;
      auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
      if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        return false;
      if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
      utf8::append(out, static_cast<char32_t>(value));
    } else {
      return false;
    }
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<std::string> topLevelString(std::string_view document, std::string_view key) {
  Reader reader(document);
  auto expectOpening = [&](std::string_view name) {
    if (!reader.skipMisc()) return false;
    auto tag = reader.tag();
    return tag && !tag->closing && !tag->empty && tag->name == name;
  };
  if (!expectOpening("plist") || !expectOpening("dict")) return std::nullopt;
  for (;;) {
    if (!reader.skipMisc()) return std::nullopt;
    auto keyTag = reader.tag();
    if (!keyTag || keyTag->closing) return std::nullopt;  // the end of the dictionary, or broken markup
    if (keyTag->name != "key") return std::nullopt;
    std::optional<std::string> name = keyTag->empty ? std::string() : reader.textUntilClose("key");
    if (!name || !reader.skipMisc()) return std::nullopt;
    auto value = reader.tag();
    if (!value || value->closing) return std::nullopt;
    if (*name == key) {
      if (value->name != "string") return std::nullopt;
      return value->empty ? std::string() : reader.textUntilClose("string");
    }
    if (!reader.skipElement(*value)) return std::nullopt;
  }
}

}  // namespace velvix::platform::xmlplist
