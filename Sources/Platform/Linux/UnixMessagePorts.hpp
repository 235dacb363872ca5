#pragma once
// Message ports over Unix-domain sockets: each port is a socket, named by a short hash of the port
// name, in a private folder (mode 0700). One I/O thread per local port accepts requests, reads
// them whole within the sender's window and hands each to the main loop; the reply is written
// back by that thread, so a requester that never reads cannot hold up the main loop. Requesters
// past the number served at once queue in the socket's backlog; one that stalls is dropped at
// its deadline, or sooner when its place is wanted by a requester waiting behind it, so stalling
// requesters, however many, cannot keep real requests from being served. A socket file left by a
// crashed run is detected (nothing listens) and replaced.

#include <atomic>
#include <functional>
#include <memory>
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
  // A requester that has sent nothing for this long while others wait for its place has stalled:
  // a real requester writes its request the moment it is connected.
  static constexpr double kStallGrace = 0.2;
  // How long accepting rests after an accept failed for want of descriptors or memory, so a
  // lasting shortage costs a few attempts a second instead of a spinning thread.
  static constexpr double kAcceptPause = 0.2;

  using Log = std::function<void(const std::string&)>;
  // `folder`: where the sockets live; created with mode 0700 when a port is registered.
  UnixMessagePorts(MainLoop& loop, std::string folder, Log log);

  std::unique_ptr<LocalPort> createLocal(const std::string& name, Handler handler) override;
  std::unique_ptr<RemotePort> createRemote(const std::string& name) override;
  const std::string& folder() const { return folder_; }
  // Accepts that failed, over all the ports made here (a shortage of descriptors shows here).
  std::uint64_t failedAccepts() const { return failedAccepts_->load(); }

 private:
  MainLoop& loop_;
  std::string folder_;
  Log log_;
  std::shared_ptr<std::atomic<std::uint64_t>> failedAccepts_ =
      std::make_shared<std::atomic<std::uint64_t>>(0);
};

}  // namespace velvix::platform
