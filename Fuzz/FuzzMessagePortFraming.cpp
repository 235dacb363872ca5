// The message port's framing, both sides, over real sockets. The server: the bytes after the
// first go to a live port as one connection and the sender then hangs up; the port's handler
// hears a request only when the bytes begin with a whole frame, and then exactly its id and data
// (exactly one frame is always heard). The requester: the same bytes come back as the port's
// reply to a request, which succeeds only when they begin with a whole reply frame within the
// size limit, and then carries exactly its data.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Linux/UnixMessagePorts.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "SafariExtension/Shared/PortChannel.hpp"

using namespace velvix;

namespace {

constexpr const char* kPortName = "fuzz.framing";

struct Port {
  sim::SimMainLoop loop;
  std::string folder;
  std::unique_ptr<platform::UnixMessagePorts> ports;
  std::unique_ptr<platform::LocalPort> local;
  int heard = 0;
  std::int32_t heardID = 0;
  std::string heardData;
};
Port* gPort = nullptr;

bool sendAll(int fd, std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n <= 0) return false;  // the port closed early (too large, or more than one request)
    at += static_cast<std::size_t>(n);
  }
  return true;
}

// Waits (bounded) until the port closes the connection.
void waitForClose(int fd) {
  char sink[4096];
  for (int rounds = 0; rounds < 500; ++rounds) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 10) == 1 && ::recv(fd, sink, sizeof sink, 0) <= 0) return;
    gPort->loop.runUntilIdle();  // a request heard is answered on the main loop
  }
}

void serve(std::string_view bytes) {
  auto address = portchannel::Address::make(gPort->folder, portchannel::fileName(kPortName));
  const int fd = address ? portchannel::connectTo(*address, 2.0) : -1;
  if (fd < 0) std::abort();
  gPort->heard = 0;
  sendAll(fd, bytes);
  ::shutdown(fd, SHUT_WR);
  waitForClose(fd);
  ::close(fd);
  gPort->loop.runUntilIdle();

  const bool headed = bytes.size() >= portchannel::kHeaderBytes;
  const auto header = headed ? portchannel::readHeader(bytes.data()) : portchannel::Header{};
  const bool whole = headed && header.length <= portchannel::kMaxFrameBytes &&
                     bytes.size() - portchannel::kHeaderBytes >= header.length;
  if (gPort->heard > 1 || (gPort->heard == 1 && !whole)) std::abort();
  if (gPort->heard == 1 && (gPort->heardID != header.first ||
                            gPort->heardData != bytes.substr(portchannel::kHeaderBytes, header.length)))
    std::abort();
  if (whole && bytes.size() == portchannel::kHeaderBytes + header.length && gPort->heard != 1) std::abort();
}

void request(std::string_view bytes) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) std::abort();
  const int big = 1 << 20;
  ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
  if (!sendAll(pair[1], bytes)) std::abort();
  ::shutdown(pair[1], SHUT_WR);
  std::optional<std::string> reply;
  const auto status = portchannel::request(pair[0], 7, "{}", 1.0, 1.0, reply);
  ::close(pair[0]);
  ::close(pair[1]);

  const bool headed = bytes.size() >= portchannel::kHeaderBytes;
  const auto header = headed ? portchannel::readHeader(bytes.data()) : portchannel::Header{};
  const bool fits = headed && header.length <= portchannel::kMaxFrameBytes;
  const bool whole = fits && (header.first == 0 || bytes.size() - portchannel::kHeaderBytes >= header.length);
  if ((status == portchannel::kSuccess) != whole) std::abort();
  if (status != portchannel::kSuccess) return;
  if (header.first == 0 ? reply.has_value() : reply != bytes.substr(portchannel::kHeaderBytes, header.length))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static char folder[] = "/tmp/velvix-fuzz-ports-XXXXXX";
  if (!::mkdtemp(folder)) std::abort();
  gPort = new Port;
  gPort->folder = std::string(folder) + "/Ports";
  gPort->ports = std::make_unique<platform::UnixMessagePorts>(gPort->loop, gPort->folder, nullptr);
  gPort->local = gPort->ports->createLocal(kPortName, [](std::int32_t id, std::string data) {
    ++gPort->heard;
    gPort->heardID = id;
    gPort->heardData = std::move(data);
    return std::optional<std::string>(gPort->heardData);
  });
  if (!gPort->local) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  serve(bytes);
  request(bytes);
  return 0;
}
