#pragma once
// What the application and the Safari extension handler agree on about the message port between
// them: the port's name, where its socket lives (a private folder in the support folder), how a
// port name becomes a short socket file name, the frames of a request and its reply, the status
// codes, and the requesting side. Both sides compile this code, so they cannot drift apart.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <sys/socket.h>
#include <sys/un.h>

#include "VelvixChromeHost/Shared/SocketAddress.hpp"

namespace velvix::portchannel {

inline constexpr std::string_view kApplicationGroup = "K8R3W5N2QT.velvix.shared";
inline constexpr std::string_view kBridgePortName = "K8R3W5N2QT.velvix.shared.bridge";
// The folder of the ports' sockets, relative to the user's home folder; mode 0700.
inline constexpr std::string_view kPortsRelativePath = "Library/Application Support/Velvix/Ports";
// The most a request or reply frame carries. Above the Safari port's own limit (1 MiB), so an
// oversized request still arrives whole and is refused by the server, not by the transport.
inline constexpr std::uint32_t kMaxFrameBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kHeaderBytes = 8;

// The outcome of one request, as the requester sees it.
enum Status : std::int32_t {
  kSuccess = 0,
  kSendTimeout = -1,
  kReceiveTimeout = -2,
  kIsInvalid = -3,       // the port is gone or was never there
  kTransportError = -4,  // the request could not be written or the reply could not be read
  kBecameInvalid = -5,   // the port went away while the request waited for its reply
};

std::string portsFolder(std::string_view home);
// A short file name for a port name ("p" and 16 hex digits of its hash): a port name is as long
// as its owner wants, a socket address is not.
std::string fileName(std::string_view portName);

// The socket address of one port file, reached through the folder where its path is too long.
using Address = hostchannel::SocketAddress;

// Header: the message id (requests) or 1 when data follows and 0 for no data (replies), then the
// data's length; both 32-bit little-endian.
std::string frame(std::int32_t first, std::optional<std::string_view> data);
struct Header {
  std::int32_t first = 0;
  std::uint32_t length = 0;
};
Header readHeader(const char* bytes);

// Connects to the port's socket within `timeout` seconds (a port whose owner has stopped takes
// no more connections once its backlog is full); -1 when nothing listens there or the time ran
// out (errno says why). A negative timeout waits without a bound.
int connectTo(const Address& address, double timeout);
// Whether the connectTo that just failed ran out of time, rather than finding no port.
bool connectTimedOut();

// Sends one request on a connected socket and waits for the reply: at most `sendTimeout` seconds
// to write the request and `receiveTimeout` seconds for the reply. `reply` is set when the
// server answered with data. The socket is left open; the caller closes it.
Status request(int fd, std::int32_t messageID, std::string_view data, double sendTimeout,
               double receiveTimeout, std::optional<std::string>& reply);

}  // namespace velvix::portchannel
