#include "Bridge/SocketLineCutter.hpp"

#include <cstring>

#include "Platform/Utf8.hpp"

namespace velvix {
namespace {

bool isTrimmed(char32_t c) {
  switch (c) {
    case 0x09:
    case 0x20:
    case 0xA0:
    case 0x1680:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

}  // namespace

bool SocketLineCutter::append(const char* data, std::size_t size) {
  buffer_.append(data, size);
  const void* lastFeed = size > 0 ? ::memrchr(data, '\n', size) : nullptr;
  unfinishedBytes_ = lastFeed ? static_cast<std::size_t>(data + size - static_cast<const char*>(lastFeed) - 1)
                              : unfinishedBytes_ + size;
  return unfinishedBytes_ <= kMaxPendingBytes;
}

std::optional<std::string> SocketLineCutter::nextLine() {
  while (auto line = buffer_.nextLine()) {
    if (!utf8::isValid(*line)) continue;
    std::string_view text = trimmed(*line);
    if (!text.empty()) return std::string(text);
  }
  return std::nullopt;
}

std::string_view SocketLineCutter::trimmed(std::string_view line) {
  std::size_t begin = 0;
  while (begin < line.size()) {
    std::size_t next = begin;
    if (!isTrimmed(utf8::decodeForward(line, next))) break;
    begin = next;
  }
  std::size_t end = line.size();
  while (end > begin) {
    std::size_t previous = end;
    if (!isTrimmed(utf8::decodeBackward(line, previous))) break;
    end = previous;
  }
  return line.substr(begin, end - begin);
}

}  // namespace velvix
