#include "VelvixChromeHost/ChromeHostRelay.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/LineBuffer.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"
#include "VelvixChromeHost/Shared/SocketAddress.hpp"

namespace velvix::relay {
namespace {

using Clock = std::chrono::steady_clock;

// Large reads: a browser message can be megabytes long, and every read is a system call.
constexpr std::size_t kSocketReadChunk = 256 * 1024;
constexpr std::size_t kFirstPayloadStep = 4 * 1024;

// The end of either side ends the program: there is nothing to flush and nothing to keep, and
// _exit stops the other direction's thread at once without running anyone's destructors.
[[noreturn]] void finish() {
  ::_exit(0);
}

int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(0, left));
}

Clock::time_point after(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Exactly `size` bytes, or false at the end of the input, on an error or when the rest of a
// message does not come in time. `begun`: bytes of this message came before.
bool readExactly(Input& input, char* data, std::size_t size, bool begun) {
  for (std::size_t done = 0; done < size;) {
    const std::size_t got = input.read(data + done, size - done, begun || done > 0);
    if (got == 0) return false;
    done += got;
  }
  return true;
}

}  // namespace

std::size_t DescriptorInput::read(char* data, std::size_t size, bool begun) {
  for (;;) {
    // The wait comes first, so a blocking descriptor (the browser's pipe) has its deadline too.
    pollfd entry{fd_, POLLIN, 0};
    const int ready = ::poll(&entry, 1, begun ? static_cast<int>(kReceiveTimeout * 1000) : -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return 0;
    const ssize_t got = ::read(fd_, data, size);
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  }
}

// Both parts in order, as one stream of bytes, without first copying them together. The deadline
// is counted from the last byte the other side took, so a large message that flows is not cut.
bool DescriptorOutput::write(std::string_view head, std::string_view body) {
  iovec parts[2] = {{const_cast<char*>(head.data()), head.size()},
                    {const_cast<char*>(body.data()), body.size()}};
  int first = 0;
  while (first < 2 && parts[first].iov_len == 0) ++first;
  auto deadline = after(kSendTimeout);
  while (first < 2) {
    const ssize_t put = ::writev(fd_, parts + first, 2 - first);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd wait[2] = {{fd_, POLLOUT, 0}, {watched_, 0, 0}};
      const int ready = ::poll(wait, watched_ >= 0 ? 2 : 1, millisecondsUntil(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;  // the other side took nothing in time
      if (watched_ >= 0 && (wait[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
      continue;
    }
    if (put <= 0) return false;
    deadline = after(kSendTimeout);
    auto left = static_cast<std::size_t>(put);
    while (first < 2 && left >= parts[first].iov_len) left -= parts[first++].iov_len;
    if (first < 2) {
      parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + left;
      parts[first].iov_len -= left;
    }
  }
  return true;
}

std::optional<int> connectToHost(const std::string& socketPath) {
  // A deep home folder's path does not fit an address: it is reached through the folder.
  const auto address = hostchannel::SocketAddress::make(socketPath);
  if (!address) return std::nullopt;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  // A local stream socket's connect waits for room in the listen queue for as long as the send
  // time-out allows; an application that is stopped never makes room.
  const timeval bound{static_cast<time_t>(kConnectTimeout), 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof(bound));
  if (::connect(fd, address->get(), address->size()) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  const timeval none{0, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &none, sizeof(none));
  return fd;
}

void copyFramesToLines(Input& frames, Output& lines) {
  char header[nativeframing::kHeaderBytes];
  std::string line;  // reused: one frame at a time, never more
  for (;;) {
    if (!readExactly(frames, header, sizeof(header), false)) return;
    const std::uint32_t length = nativeframing::readHeader(header);
    if (length > hostchannel::kMaxFrameBytes) return;
    // The payload grows as it arrives, doubling from a small first step up to a chunk at a time:
    // a length announced and never sent costs little, and a long message few reads.
    line.clear();
    while (line.size() < length) {
      const std::size_t done = line.size();
      const std::size_t step = std::min(std::max(done, kFirstPayloadStep), kSocketReadChunk);
      line.resize(std::min<std::size_t>(length, done + step));
      if (!readExactly(frames, line.data() + done, line.size() - done, true)) return;
    }
    nativeframing::makeSocketLine(line);
    if (!lines.write(line, {})) return;
  }
}

void copyLinesToFrames(Input& lines, Output& frames) {
  LineBuffer pending;
  const std::unique_ptr<char[]> chunk(new char[kSocketReadChunk]);
  char header[nativeframing::kHeaderBytes];
  for (;;) {
    const std::size_t got = lines.read(chunk.get(), kSocketReadChunk, pending.pendingBytes() > 0);
    if (got == 0) return;  // an unfinished last line is dropped
    pending.append(chunk.get(), got);
    while (auto line = pending.nextLine()) {
      const std::string_view message = nativeframing::trimmed(*line);
      if (message.empty()) continue;
      nativeframing::writeHeader(static_cast<std::uint32_t>(message.size()), header);
      if (!frames.write(std::string_view(header, sizeof(header)), message)) return;
    }
  }
}

void pumpChromeToHost(int socket) {
  DescriptorInput browser(STDIN_FILENO);
  DescriptorOutput application(socket, STDIN_FILENO);
  copyFramesToLines(browser, application);
  finish();
}

void pumpHostToChrome(int socket) {
  DescriptorInput application(socket);
  DescriptorOutput browser(STDOUT_FILENO);
  copyLinesToFrames(application, browser);
  finish();
}

}  // namespace velvix::relay
