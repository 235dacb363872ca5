#pragma once
// Bytes received from a stream and not yet cut into lines. Lines end with one line feed (0x0A);
// bytes after the last line feed wait for the next append. Each byte is searched once, so a long
// line arriving in many small reads costs no more than one arriving whole.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velvix {

class LineBuffer {
 public:
  void append(const char* data, std::size_t size);
  // The next complete line without its line feed; it stays valid until the next append or clear.
  std::optional<std::string_view> nextLine();
  // Bytes held that do not yet form a complete line.
  std::size_t pendingBytes() const { return bytes_.size() - start_; }
  void clear();

 private:
  std::string bytes_;
  std::size_t start_ = 0;    // first byte not yet handed out
  std::size_t scanned_ = 0;  // bytes before this hold no line feed
};

}  // namespace velvix
