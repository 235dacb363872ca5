#include "RelayLog.hpp"

#include <string>

#include <unistd.h>

namespace velvix::safari {

void relayLog(LogLevel level, std::string_view text) {
  std::string line = "com.kolvi.velvix.SafariExtension relay ";
  line += level == LogLevel::error ? "error: " : "info: ";
  line.append(text);
  line.push_back('\n');
  // One write per line, so lines of concurrent requests never interleave.
  [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace velvix::safari
