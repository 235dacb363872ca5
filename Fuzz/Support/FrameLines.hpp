#pragma once
// What the relay makes of a stream of browser frames read whole: each frame, up to the first one
// that is unfinished or too large, becomes one socket line. The reference the relay fuzz targets
// hold its read loop and its framing to.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

namespace velvix::fuzz {

inline std::vector<std::string> frameLines(std::string_view bytes) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at + nativeframing::kHeaderBytes <= bytes.size();) {
    const std::uint32_t length = nativeframing::readHeader(bytes.data() + at);
    at += nativeframing::kHeaderBytes;
    if (length > hostchannel::kMaxFrameBytes || length > bytes.size() - at) break;
    std::string line(bytes.substr(at, length));
    at += length;
    nativeframing::makeSocketLine(line);
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace velvix::fuzz
