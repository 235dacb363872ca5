// The relay's own read loops, in memory: the bytes after the first arrive in pieces (the first
// byte sets their size, so frames and lines straddle reads), once as the browser's frames and
// once as the application's lines. What each loop writes must be exactly what the framing makes
// of the same bytes read whole, up to the first frame that is unfinished or too large; an
// unfinished last line is dropped.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Fuzz/Support/FrameLines.hpp"
#include "VelvixChromeHost/ChromeHostRelay.hpp"
#include "VelvixChromeHost/Shared/LineBuffer.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

using namespace velvix;

namespace {

class Pieces final : public relay::Input {
 public:
  Pieces(std::string_view bytes, std::size_t piece) : bytes_(bytes), piece_(piece) {}
  std::size_t read(char* data, std::size_t size, bool) override {
    const std::size_t count = std::min({size, piece_, bytes_.size()});
    std::memcpy(data, bytes_.data(), count);
    bytes_.remove_prefix(count);
    return count;
  }

 private:
  std::string_view bytes_;
  std::size_t piece_;
};

class Collected final : public relay::Output {
 public:
  bool write(std::string_view head, std::string_view body) override {
    written.append(head).append(body);
    return true;
  }
  std::string written;
};

std::string through(void (*loop)(relay::Input&, relay::Output&), std::string_view bytes, std::size_t piece) {
  Pieces input(bytes, piece);
  Collected output;
  loop(input, output);
  return output.written;
}

std::string framesAsLines(std::string_view bytes) {
  std::string lines;
  for (const std::string& line : fuzz::frameLines(bytes)) lines += line;
  return lines;
}

std::string linesAsFrames(std::string_view bytes) {
  LineBuffer whole;
  whole.append(bytes.data(), bytes.size());
  std::string frames;
  while (auto line = whole.nextLine()) {
    const std::string_view message = nativeframing::trimmed(*line);
    if (!message.empty()) frames += nativeframing::frame(message);
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] * 64;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (through(relay::copyFramesToLines, bytes, piece) != framesAsLines(bytes)) std::abort();
  if (through(relay::copyLinesToFrames, bytes, piece) != linesAsFrames(bytes)) std::abort();
  return 0;
}
