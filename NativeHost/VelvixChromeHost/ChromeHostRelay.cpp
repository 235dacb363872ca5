#include "VelvixChromeHost/ChromeHostRelay.hpp"

#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/LineBuffer.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"
#include "VelvixChromeHost/Shared/SocketAddress.hpp"

namespace velvix::relay {
namespace {

// Large reads: a browser message can be megabytes long, and every read is a system call.
constexpr std::size_t kSocketReadChunk = 256 * 1024;

// The end of either side ends the program: there is nothing to flush and nothing to keep, and
// _exit stops the other direction's thread at once without running anyone's destructors.
[[noreturn]] void finish() {
  ::_exit(0);
}

// Exactly `size` bytes, or false at the end of the input or on an error. A read interrupted by a
// signal is simply repeated: it says nothing about the browser's pipe.
bool readExactly(int fd, char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t got = ::read(fd, data + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool writeAll(int fd, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t put = ::write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// Both parts in order, as one stream of bytes, without first copying them together.
bool writeAll(int fd, std::string_view head, std::string_view body) {
  iovec parts[2] = {{const_cast<char*>(head.data()), head.size()},
                    {const_cast<char*>(body.data()), body.size()}};
  int first = 0;
  while (first < 2) {
    ssize_t put = ::writev(fd, parts + first, 2 - first);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    auto left = static_cast<std::size_t>(put);
    while (first < 2 && left >= parts[first].iov_len) left -= parts[first++].iov_len;
    if (first < 2) {
      parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + left;
      parts[first].iov_len -= left;
    }
  }
  return true;
}

}  // namespace

std::optional<int> connectToHost(const std::string& socketPath) {
  // A deep home folder's path does not fit an address: it is reached through the folder.
  const auto address = hostchannel::SocketAddress::make(socketPath);
  if (!address) return std::nullopt;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  if (::connect(fd, address->get(), address->size()) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return fd;
}

void copyFramesToLines(int frames, int lines) {
  char header[nativeframing::kHeaderBytes];
  std::string line;  // reused: one frame at a time, never more
  for (;;) {
    if (!readExactly(frames, header, sizeof(header))) return;
    const std::uint32_t length = nativeframing::readHeader(header);
    if (length > hostchannel::kMaxFrameBytes) return;
    line.resize(length);
    if (length > 0 && !readExactly(frames, line.data(), length)) return;
    nativeframing::makeSocketLine(line);
    if (!writeAll(lines, line.data(), line.size())) return;
  }
}

void copyLinesToFrames(int lines, int frames) {
  LineBuffer pending;
  std::vector<char> chunk(kSocketReadChunk);
  char header[nativeframing::kHeaderBytes];
  for (;;) {
    ssize_t got = ::read(lines, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // an unfinished last line is dropped
    pending.append(chunk.data(), static_cast<std::size_t>(got));
    while (auto line = pending.nextLine()) {
      const std::string_view message = nativeframing::trimmed(*line);
      if (message.empty()) continue;
      nativeframing::writeHeader(static_cast<std::uint32_t>(message.size()), header);
      if (!writeAll(frames, std::string_view(header, sizeof(header)), message)) return;
    }
  }
}

void pumpChromeToHost(int socket) {
  copyFramesToLines(STDIN_FILENO, socket);
  finish();
}

void pumpHostToChrome(int socket) {
  copyLinesToFrames(socket, STDOUT_FILENO);
  finish();
}

}  // namespace velvix::relay
