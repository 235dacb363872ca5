#pragma once
// Named local message ports: a process registers a port under a name and answers each request
// sent to it with reply data (or none); another process looks the port up by name and sends it
// requests, each bounded by a send and a receive time-out. Requests to a local port are served
// on the main loop, one at a time, in common modes. Names are unique: a name that a live port
// holds cannot be registered again.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velvix::platform {

// The outcome of one request, as the requester sees it.
enum class PortStatus : std::int32_t {
  success = 0,
  sendTimeout = -1,
  receiveTimeout = -2,
  isInvalid = -3,
  transportError = -4,
  becameInvalid = -5,
};

// A registered port; dropping it unregisters the name.
class LocalPort {
 public:
  virtual ~LocalPort() = default;
};

class RemotePort {
 public:
  struct Reply {
    PortStatus status = PortStatus::isInvalid;
    std::optional<std::string> data;  // set when the port answered with data
  };
  virtual ~RemotePort() = default;
  virtual Reply sendRequest(std::int32_t messageID, std::string_view data, double sendTimeout,
                            double receiveTimeout) = 0;
  virtual void invalidate() = 0;
};

class MessagePorts {
 public:
  // Called on the main loop with the request's id and data; returns the reply data, or nothing.
  using Handler = std::function<std::optional<std::string>(std::int32_t messageID, std::string data)>;

  virtual ~MessagePorts() = default;
  // Registers `name`; nothing when another live port holds it or the port cannot be made.
  virtual std::unique_ptr<LocalPort> createLocal(const std::string& name, Handler handler) = 0;
  // The port registered under `name`; nothing when there is none.
  virtual std::unique_ptr<RemotePort> createRemote(const std::string& name) = 0;
};

}  // namespace velvix::platform
