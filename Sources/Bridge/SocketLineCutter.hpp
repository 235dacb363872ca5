#pragma once
// Turns the bytes one socket connection sends into the text lines the application acts on: cut
// at line feeds, valid UTF-8 only, trimmed of spaces and tabs, never empty. It also holds the
// connection's cap on bytes waiting for their line feed.

#include <cstddef>
#include <optional>
#include <string>

#include "VelvixChromeHost/Shared/LineBuffer.hpp"

namespace velvix {

class SocketLineCutter {
 public:
  // More than this many bytes without a line feed closes the connection (exactly this is fine).
  static constexpr std::size_t kMaxPendingBytes = 4 * 1024 * 1024;

  // False when the bytes after the last line feed pass the cap: the connection must be closed
  // once the complete lines before them are delivered. Complete lines never count, so any line of
  // up to the cap plus its line feed gets through, however the reads cut it.
  bool append(const char* data, std::size_t size);
  // The next line to deliver. Lines that are not UTF-8, or blank once trimmed, are skipped.
  std::optional<std::string> nextLine();

  // Trims, at both ends, the space separators (Unicode category Zs) and the tab. Carriage
  // returns and other line breaks stay. `line` must be valid UTF-8.
  static std::string_view trimmed(std::string_view line);

 private:
  LineBuffer buffer_;
  std::size_t unfinishedBytes_ = 0;  // bytes after the last line feed seen
};

}  // namespace velvix
