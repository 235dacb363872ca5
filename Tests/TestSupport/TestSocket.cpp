#include "TestSupport/TestSocket.hpp"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "VelvixChromeHost/Shared/SocketAddress.hpp"

namespace velvix::test {
namespace {

using Clock = std::chrono::steady_clock;

// Waits until `fd` is readable or the deadline passes.
bool readable(int fd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) return false;
    pollfd entry{fd, POLLIN, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

TestSocket::~TestSocket() {
  close();
}

TestSocket::TestSocket(TestSocket&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

TestSocket& TestSocket::operator=(TestSocket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

TestSocket TestSocket::connectTo(const std::string& path) {
  TestSocket socket = unconnected();
  if (!socket.connect(path)) socket.close();
  return socket;
}

TestSocket TestSocket::unconnected() {
  return TestSocket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

bool TestSocket::connect(const std::string& path) {
  const auto address = hostchannel::SocketAddress::make(path);
  return address && ::connect(fd_, address->get(), address->size()) == 0;
}

TestSocket TestSocket::listenAt(const std::string& path) {
  TestSocket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const auto address = hostchannel::SocketAddress::make(path);
  ::unlink(path.c_str());
  if (!address || ::bind(socket.fd_, address->get(), address->size()) != 0 || ::listen(socket.fd_, 8) != 0)
    socket.close();
  return socket;
}

TestSocket TestSocket::acceptOne(Bound bound) {
  if (!readable(fd_, Clock::now() + bound)) return TestSocket();
  return TestSocket(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

bool TestSocket::send(std::string_view bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t put = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    sent += static_cast<std::size_t>(put);
  }
  return true;
}

std::string TestSocket::receive(std::size_t size, Bound bound) {
  const auto deadline = Clock::now() + bound;
  std::string bytes;
  char chunk[65536];
  while (bytes.size() < size && readable(fd_, deadline)) {
    ssize_t got = ::recv(fd_, chunk, std::min(sizeof(chunk), size - bytes.size()), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

bool TestSocket::waitForClose(Bound bound) {
  const auto deadline = Clock::now() + bound;
  char chunk[65536];
  while (readable(fd_, deadline)) {
    ssize_t got = ::recv(fd_, chunk, sizeof(chunk), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return true;  // the end, or a reset: either way the peer is gone
  }
  return false;
}

void TestSocket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace velvix::test
