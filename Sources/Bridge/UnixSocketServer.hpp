#pragma once
// The listening end of the line channel to the Chromium relay and the editor extensions' hosts:
// a Unix-domain stream socket in the support folder that accepts up to 16 connections, cuts what
// they send into UTF-8 text lines on one I/O thread, and hands every new connection, every line
// and every disconnect to the main loop, in order. Peers the owner does not admit are closed as
// they are accepted, and a connection that sends no line within a deadline is closed, so idle or
// refused peers cannot keep the places from the real ones. Any thread may write a whole line to
// one connection without waiting for its peer: what the peer has not taken yet waits in the
// connection's bounded send queue, which the I/O thread drains. It knows nothing of what the
// lines mean.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Workspace.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"

namespace velvix {
namespace platform {
class MainLoop;
}

// An error of one step of the socket set-up; its text is "<operation> failed: <strerror(code)>".
struct PosixError {
  std::string operation;
  int code = 0;
  std::string description() const;
};

class UnixSocketServer {
 public:
  static constexpr int kMaxClients = 16;
  static constexpr std::size_t kMaxBufferedBytes = 4 * 1024 * 1024;
  static constexpr std::size_t kReadChunk = 8192;
  static constexpr int kBacklog = 8;
  // Seconds a connection's send queue may wait without its peer taking a byte; past that the
  // peer counts as stuck and the connection is closed.
  static constexpr double kSendTimeout = 1.0;
  // The most a connection's send queue holds; a line that does not fit is refused whole.
  static constexpr std::size_t kMaxQueuedSendBytes = 1024 * 1024;
  // How long accepting rests after an accept failed for want of descriptors or memory, so a
  // persistent shortage costs a few attempts a second instead of a spinning thread.
  static constexpr double kAcceptPause = 0.2;
  // Lines of one connection handed to the main loop and not yet handled. Past either bound the
  // connection is not read until the main loop catches up, so a client that floods the socket
  // holds neither unbounded memory nor the other clients' lines back (the kernel's buffer then
  // pushes back on it).
  static constexpr std::size_t kMaxQueuedLines = 256;
  static constexpr std::size_t kMaxQueuedBytes = 1024 * 1024;
  // Seconds a new connection may take to send its first complete line. A relay sends the
  // extension's greeting as soon as it is connected; a peer that says nothing holds one of the
  // few places for no one.
  static constexpr double kFirstLineDeadline = 10.0;

  // One accepted connection. Compared by identity; stays valid while anyone holds it.
  class Client {
   public:
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Writes `line` and one line feed, or queues what the peer cannot take yet; never waits for
    // the peer. False when the connection is closed or its queue has no room for the whole line.
    // A line holding a line feed of its own is refused whole: it would arrive as two messages.
    // Any thread.
    bool sendLine(std::string_view line);
    // Ends the connection from this side (a peer the owner refuses): its lines still on their way
    // are dropped, and the disconnect follows as for any close. Any thread.
    void close();
    std::optional<platform::Pid> peerPID() const { return peerPID_; }
    // The connection's number, unique for the life of the server.
    std::uint64_t number() const { return number_; }
    bool isClosed() const;
    // Handed over by the program itself (adopt) instead of accepted: its peer is the one the
    // program named, not one the kernel vouched for.
    bool isAdopted() const { return adopted_; }

   private:
    friend class UnixSocketServer;
    struct Waker;
    using Clock = std::chrono::steady_clock;
    Client(int fd, std::optional<platform::Pid> peer, std::uint64_t number, std::shared_ptr<Waker> waker);
    void closeDescriptor();
    // The I/O thread's side of the send queue: writes what the peer takes now; false when the
    // connection failed. `stalledSince` is when the queue last had no progress, if it holds bytes.
    bool flush();
    std::optional<Clock::time_point> stalledSince() const;
    // Writes from the front of the queue what the socket takes without waiting; under writeLock_.
    bool writeQueued();

    const int fd_;
    const std::optional<platform::Pid> peerPID_;
    const std::uint64_t number_;
    const std::shared_ptr<Waker> waker_;
    bool adopted_ = false;
    std::atomic<bool> refused_{false};
    mutable std::mutex writeLock_;
    bool isClosed_ = false;           // under writeLock_
    std::string queued_;              // under writeLock_: bytes the peer has not taken yet
    Clock::time_point lastProgress_;  // under writeLock_, while queued_ holds bytes
  };

  using PeerFilter = std::function<bool(std::optional<platform::Pid>)>;
  using AcceptHandler = std::function<void(const std::shared_ptr<Client>&)>;
  using LineHandler = std::function<void(const std::shared_ptr<Client>&, const std::string&)>;
  using DisconnectHandler = std::function<void(const std::shared_ptr<Client>&)>;

  // `firstLineDeadline`: seconds a connection may stay without a complete line (kFirstLineDeadline).
  UnixSocketServer(std::string path, platform::MainLoop& loop, double firstLineDeadline = kFirstLineDeadline);
  // Stops the I/O thread and closes every connection; lines and disconnects still on their way
  // to the main loop are dropped.
  ~UnixSocketServer();
  UnixSocketServer(const UnixSocketServer&) = delete;
  UnixSocketServer& operator=(const UnixSocketServer&) = delete;

  // Set before start(); asked on the I/O thread as each connection is accepted, with the process
  // that connected, so it must be safe on any thread. A peer it refuses is closed at once, before
  // it takes one of the places, and never becomes a client.
  PeerFilter admits;
  // Set before start(); always called on the main loop. `onAccept` comes for each new connection
  // before any of its lines: the owner checks the peer there and closes one it refuses.
  AcceptHandler onAccept;
  LineHandler onLine;
  DisconnectHandler onDisconnect;

  // Creates the folder (0700), the socket (0600) and starts accepting. Returns the error text
  // ("<operation> failed: <reason>") when it cannot; the server then accepts nothing.
  std::optional<std::string> start();
  const std::string& path() const { return path_; }

  // Takes a connected stream socket the program made itself (one end of a socket pair) as a
  // connection whose peer is `peer`, handled like an accepted one from then on. No process outside
  // the program can reach such a descriptor. Refused (and closed) when the server is not running
  // or has no place left. Main thread.
  bool adopt(int fd, platform::Pid peer);

  // Accepts that failed so far (for diagnostics).
  std::uint64_t failedAccepts() const;

 private:
  struct Impl;
  std::string path_;
  std::shared_ptr<Impl> impl_;
};

}  // namespace velvix
