#pragma once
// Message ports over Unix-domain sockets: each port is a socket, named by a short hash of the port
// name, in a private folder (mode 0700). One I/O thread per local port accepts requests, reads
// them whole within the sender's window and hands each to the main loop; the reply is written
// back by that thread, so a requester that never reads cannot hold up the main loop. Requesters
// past the number served at once queue in the socket's backlog, and one that stalls is dropped
// at its deadline, so every request that arrives whole is handled. A socket file left by a
// crashed run is detected (nothing listens) and replaced.

#include <functional>
#include <string>

#include "Platform/MessagePorts.hpp"

namespace velvix::platform {

class MainLoop;

class UnixMessagePorts final : public MessagePorts {
 public:
  static constexpr double kRequestWindow = 2.0;  // a request must arrive whole within this
  static constexpr double kReplyWindow = 0.5;    // the requester must take its reply within this
  // A request the main loop has not answered by then gets no reply; it is still handled.
  static constexpr double kServeWindow = 10.0;
  // Requesters served at once (reading, waiting for the main loop or taking their reply); more
  // wait in the backlog, up to its size, for a place.
  static constexpr int kMaxConnections = 64;
  static constexpr int kBacklog = 64;

  using Log = std::function<void(const std::string&)>;
  // `folder`: where the sockets live; created with mode 0700 when a port is registered.
  UnixMessagePorts(MainLoop& loop, std::string folder, Log log);

  std::unique_ptr<LocalPort> createLocal(const std::string& name, Handler handler) override;
  std::unique_ptr<RemotePort> createRemote(const std::string& name) override;
  const std::string& folder() const { return folder_; }

 private:
  MainLoop& loop_;
  std::string folder_;
  Log log_;
};

}  // namespace velvix::platform
