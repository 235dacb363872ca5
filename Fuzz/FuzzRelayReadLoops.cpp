// The relay's own read loops, over real descriptors: the bytes after the first go into a pipe in
// pieces (the first byte sets their size, so frames and lines straddle reads), once as the
// browser's frames and once as the application's lines. What each loop writes must be exactly
// what the framing makes of the same bytes read whole, up to the first frame that is unfinished
// or too large; an unfinished last line is dropped.
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "Fuzz/Support/FrameLines.hpp"
#include "VelvixChromeHost/ChromeHostRelay.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/LineBuffer.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

using namespace velvix;

namespace {

// Runs `loop` reading from a pipe fed in pieces of `piece` bytes; what it wrote.
std::string through(void (*loop)(int, int), std::string_view bytes, std::size_t piece) {
  int pipeFDs[2];
  if (::pipe2(pipeFDs, O_CLOEXEC) != 0) std::abort();
  const int out = ::memfd_create("relay-output", MFD_CLOEXEC);
  if (out < 0) std::abort();
  std::thread feeder([&] {
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t put = ::write(pipeFDs[1], bytes.data() + at, std::min(piece, bytes.size() - at));
      if (put <= 0) break;  // the loop stopped reading
      at += static_cast<std::size_t>(put);
    }
    ::close(pipeFDs[1]);
  });
  loop(pipeFDs[0], out);
  ::close(pipeFDs[0]);  // a loop that stopped early unblocks the feeder
  feeder.join();
  std::string written(static_cast<std::size_t>(::lseek(out, 0, SEEK_END)), '\0');
  if (::pread(out, written.data(), written.size(), 0) != static_cast<ssize_t>(written.size())) std::abort();
  ::close(out);
  return written;
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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::signal(SIGPIPE, SIG_IGN);  // as the relay does: a closed pipe fails a write
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] * 64;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (through(relay::copyFramesToLines, bytes, piece) != framesAsLines(bytes)) std::abort();
  if (through(relay::copyLinesToFrames, bytes, piece) != linesAsFrames(bytes)) std::abort();
  return 0;
}
