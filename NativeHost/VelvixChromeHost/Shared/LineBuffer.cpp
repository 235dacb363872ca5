#include "VelvixChromeHost/Shared/LineBuffer.hpp"

#include <algorithm>
#include <cstring>

namespace velvix {

void LineBuffer::append(const char* data, std::size_t size) {
  if (start_ > 0) {
    // Only the tail of an unfinished line is left in front; drop what was handed out.
    bytes_.erase(0, start_);
    scanned_ -= std::min(scanned_, start_);
    start_ = 0;
  }
  bytes_.append(data, size);
}

std::optional<std::string_view> LineBuffer::nextLine() {
  const std::size_t from = std::max(start_, scanned_);
  const void* found =
      from < bytes_.size() ? std::memchr(bytes_.data() + from, '\n', bytes_.size() - from) : nullptr;
  if (!found) {
    scanned_ = bytes_.size();
    return std::nullopt;
  }
  const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(found) - bytes_.data());
  std::string_view line(bytes_.data() + start_, end - start_);
  start_ = end + 1;
  scanned_ = start_;
  return line;
}

void LineBuffer::clear() {
  bytes_.clear();
  start_ = 0;
  scanned_ = 0;
}

}  // namespace velvix
