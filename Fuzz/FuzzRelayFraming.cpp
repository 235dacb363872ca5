// The relay's framing both ways. Browser to application: a stream of native frames (a 4-byte
// length, then the payload) becomes socket lines, one per frame. Application to browser: socket
// bytes are cut into lines and each non-blank one becomes a frame. Whatever the bytes, a frame
// becomes exactly one line and a line exactly one frame that reads back whole.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Fuzz/Support/FrameLines.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/LineBuffer.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

using namespace velvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  for (const std::string& line : fuzz::frameLines(bytes))
    if (line.empty() || line.back() != '\n' || line.find('\n') != line.size() - 1) std::abort();

  LineBuffer pending;
  const std::size_t half = bytes.size() / 2;
  for (std::string_view piece : {bytes.substr(0, half), bytes.substr(half)}) {
    pending.append(piece.data(), piece.size());
    while (auto line = pending.nextLine()) {
      const std::string_view message = nativeframing::trimmed(*line);
      if (message.empty()) continue;
      const std::string frame = nativeframing::frame(message);
      if (nativeframing::readHeader(frame.data()) != message.size()) std::abort();
      if (frame.substr(nativeframing::kHeaderBytes) != message) std::abort();
    }
  }
  return 0;
}
