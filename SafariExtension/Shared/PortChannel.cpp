#include "SafariExtension/Shared/PortChannel.hpp"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace velvix::portchannel {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Milliseconds left until the deadline, at least 0.
int millisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

void putUInt32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t getUInt32(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return value;
}

enum class Wait { ready, timedOut, failed };

// Waits until the socket is ready for `events` or the deadline passes.
Wait waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, millisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Wait::failed;
    if (ready == 0) return Wait::timedOut;
    return (entry.revents & events) != 0 ? Wait::ready : Wait::failed;
  }
}

// Reads exactly `size` bytes before the deadline; the Status says why it could not.
Status readExactly(int fd, char* into, std::size_t size, Clock::time_point deadline) {
  std::size_t got = 0;
  while (got < size) {
    const Wait wait = waitFor(fd, POLLIN, deadline);
    if (wait == Wait::timedOut) return kReceiveTimeout;
    const ssize_t n = ::recv(fd, into + got, size - got, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) return kBecameInvalid;  // the server closed without a reply
    got += static_cast<std::size_t>(n);
  }
  return kSuccess;
}

}  // namespace

std::string portsFolder(std::string_view home) {
  std::string path(home);
  if (path.empty() || path.back() != '/') path += '/';
  path += kPortsRelativePath;
  return path;
}

std::string fileName(std::string_view portName) {
  std::uint64_t hash = 14695981039346656037ull;  // 64-bit FNV-1a
  for (unsigned char c : portName) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string name = "p";
  for (int shift = 60; shift >= 0; shift -= 4) name.push_back(kDigits[(hash >> shift) & 0xF]);
  return name;
}

std::string frame(std::int32_t first, std::optional<std::string_view> data) {
  std::string bytes;
  bytes.reserve(kHeaderBytes + (data ? data->size() : 0));
  putUInt32(bytes, static_cast<std::uint32_t>(first));
  putUInt32(bytes, data ? static_cast<std::uint32_t>(data->size()) : 0);
  if (data) bytes.append(*data);
  return bytes;
}

Header readHeader(const char* bytes) {
  return {static_cast<std::int32_t>(getUInt32(bytes)), getUInt32(bytes + 4)};
}

int connectTo(const Address& address, double timeout) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (timeout >= 0) {
    // A local stream socket's connect waits for room in the listener's backlog for as long as
    // the send time-out allows, then fails with EAGAIN.
    const auto whole = static_cast<time_t>(timeout);
    timeval bound{whole, static_cast<suseconds_t>((timeout - static_cast<double>(whole)) * 1e6)};
    if (bound.tv_sec == 0 && bound.tv_usec == 0) bound.tv_usec = 1;  // zero would mean no bound
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof(bound));
  }
  if (::connect(fd, address.get(), address.size()) != 0) {
    const int code = errno;
    ::close(fd);
    errno = code;
    return -1;
  }
  return fd;
}

bool connectTimedOut() {
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT || errno == EINTR;
}

Status request(int fd, std::int32_t messageID, std::string_view data, double sendTimeout,
               double receiveTimeout, std::optional<std::string>& reply) {
  reply.reset();
  if (data.size() > kMaxFrameBytes) return kTransportError;
  const std::string bytes = frame(messageID, data);
  const auto sendDeadline = deadlineAfter(sendTimeout);
  std::size_t written = 0;
  while (written < bytes.size()) {
    const Wait wait = waitFor(fd, POLLOUT, sendDeadline);
    if (wait == Wait::timedOut) return kSendTimeout;
    if (wait == Wait::failed) return kTransportError;
    const ssize_t n = ::send(fd, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) return kTransportError;
    written += static_cast<std::size_t>(n);
  }

  const auto receiveDeadline = deadlineAfter(receiveTimeout);
  char header[kHeaderBytes];
  if (Status status = readExactly(fd, header, sizeof(header), receiveDeadline); status != kSuccess)
    return status;
  const Header parsed = readHeader(header);
  if (parsed.length > kMaxFrameBytes) return kTransportError;
  if (parsed.first == 0) return kSuccess;  // answered without data
  std::string body(parsed.length, '\0');
  if (Status status = readExactly(fd, body.data(), body.size(), receiveDeadline); status != kSuccess)
    return status;
  reply = std::move(body);
  return kSuccess;
}

}  // namespace velvix::portchannel
