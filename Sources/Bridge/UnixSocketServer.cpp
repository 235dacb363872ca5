#include "Bridge/UnixSocketServer.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "Bridge/SocketLineCutter.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/ThreadSignalStack.hpp"
#include "Platform/MainLoop.hpp"

namespace velvix {

static_assert(UnixSocketServer::kMaxBufferedBytes == SocketLineCutter::kMaxPendingBytes);
static_assert(sizeof(sockaddr_un::sun_path) >= UnixSocketServer::kMaxPathBytes);

std::string PosixError::description() const {
  return operation + " failed: " + std::generic_category().message(code);
}

// ---- one connection -----------------------------------------------------------------------------

UnixSocketServer::Client::Client(int fd, std::optional<platform::Pid> peer, std::uint64_t number)
    : fd_(fd), peerPID_(peer), number_(number) {}

UnixSocketServer::Client::~Client() {
  closeDescriptor();
}

bool UnixSocketServer::Client::isClosed() const {
  std::lock_guard lock(writeLock_);
  return isClosed_;
}

// Under the write lock, so no write can go to a descriptor number that was closed and reused.
void UnixSocketServer::Client::closeDescriptor() {
  std::lock_guard lock(writeLock_);
  if (isClosed_) return;
  isClosed_ = true;
  ::close(fd_);
}

bool UnixSocketServer::Client::sendLine(std::string_view line) {
  if (line.find('\n') != std::string_view::npos) return false;
  std::string bytes;
  bytes.reserve(line.size() + 1);
  bytes.append(line);
  bytes.push_back('\n');

  std::lock_guard lock(writeLock_);
  if (isClosed_) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    // A peer that stopped reading costs at most the send time-out per call.
    ssize_t put = ::send(fd_, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put < 1) break;
    written += static_cast<std::size_t>(put);
  }
  if (written > 0 && written < bytes.size()) ::shutdown(fd_, SHUT_RDWR);
  return written == bytes.size();
}

// ---- the I/O thread -----------------------------------------------------------------------------

struct UnixSocketServer::Impl : std::enable_shared_from_this<Impl> {
  using Clock = std::chrono::steady_clock;
  // Lines of one connection on their way to the main loop. The I/O thread counts them up, the
  // main loop down; `paused` is set by the I/O thread before it stops reading, and whoever clears
  // it wakes the thread, so a connection is never left paused with an empty backlog.
  struct Backlog {
    std::atomic<std::size_t> lines{0};
    std::atomic<std::size_t> bytes{0};
    std::atomic<bool> paused{false};
    bool isFull() const { return lines.load() >= kMaxQueuedLines || bytes.load() >= kMaxQueuedBytes; }
  };
  struct Connection {
    std::shared_ptr<Client> client;
    SocketLineCutter lines;
    std::shared_ptr<Backlog> backlog = std::make_shared<Backlog>();
    bool closed = false;
  };

  Impl(UnixSocketServer& owner, platform::MainLoop& loop) : owner(owner), loop(loop) {}

  void run();
  void acceptOne();
  void readOnce(Connection& connection);
  void close(Connection& connection);
  bool isPaused(Connection& connection);
  void wake();

  UnixSocketServer& owner;
  platform::MainLoop& loop;
  int listenFD = -1;
  int wakeFD = -1;
  std::thread thread;
  std::atomic<std::uint64_t> failedAccepts{0};
  std::atomic<bool> stopping{false};
  // The I/O thread's own state.
  std::vector<std::unique_ptr<Connection>> connections;
  std::uint64_t nextNumber = 1;
  Clock::time_point acceptResumes{};
};

void UnixSocketServer::Impl::run() {
  std::vector<pollfd> fds;
  for (;;) {
    fds.clear();
    fds.push_back({wakeFD, POLLIN, 0});
    int timeout = -1;
    const auto now = Clock::now();
    const bool accepting = now >= acceptResumes;
    if (accepting) {
      fds.push_back({listenFD, POLLIN, 0});
    } else {
      const double wait = std::chrono::duration<double, std::milli>(acceptResumes - now).count();
      timeout = static_cast<int>(std::ceil(wait));
    }
    // A paused connection is left out of the poll entirely (a hang-up would keep waking it);
    // the main loop wakes the thread once it has caught up.
    const std::size_t firstClient = fds.size();
    std::vector<Connection*> polled;
    for (const auto& connection : connections) {
      if (isPaused(*connection)) continue;
      fds.push_back({connection->client->fd_, POLLIN, 0});
      polled.push_back(connection.get());
    }

    if (::poll(fds.data(), fds.size(), timeout) < 0) {
      if (errno != EINTR) ::poll(nullptr, 0, static_cast<int>(kAcceptPause * 1000));  // out of memory: rest
      continue;
    }
    if (fds[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] auto drained = ::read(wakeFD, &count, sizeof(count));
      if (stopping.load()) return;  // the server is going away
    }

    // Reads first, so connections that closed no longer count against the limit.
    for (std::size_t i = 0; i < polled.size(); ++i)
      if (fds[firstClient + i].revents != 0) readOnce(*polled[i]);
    std::erase_if(connections, [](const auto& connection) { return connection->closed; });

    if (accepting && fds[1].revents != 0) acceptOne();
  }
}

void UnixSocketServer::Impl::acceptOne() {
  const int fd = ::accept4(listenFD, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    failedAccepts.fetch_add(1);
    // The peer that went away before its turn, or a spurious wake-up, is nothing to wait for; a
    // shortage of descriptors or memory is, and the connection stays queued until it passes.
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
      acceptResumes = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(kAcceptPause));
    return;
  }
  if (connections.size() >= static_cast<std::size_t>(kMaxClients)) {
    ::close(fd);
    return;
  }
  const timeval sendTimeout{static_cast<time_t>(kSendTimeout), 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
  ucred credentials{};
  socklen_t size = sizeof(credentials);
  std::optional<platform::Pid> peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 && credentials.pid >= 1)
    peer = credentials.pid;
  auto connection = std::make_unique<Connection>();
  connection->client = std::shared_ptr<Client>(new Client(fd, peer, nextNumber++));
  connections.push_back(std::move(connection));
}

bool UnixSocketServer::Impl::isPaused(Connection& connection) {
  Backlog& backlog = *connection.backlog;
  if (!backlog.isFull()) return false;
  backlog.paused = true;
  // The main loop may have caught up between the test and the flag: look again.
  if (backlog.isFull()) return true;
  backlog.paused = false;
  return false;
}

void UnixSocketServer::Impl::wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] auto ignored = ::write(wakeFD, &one, sizeof(one));
}

void UnixSocketServer::Impl::readOnce(Connection& connection) {
  char chunk[kReadChunk];
  const ssize_t got = ::read(connection.client->fd_, chunk, sizeof(chunk));
  if (got < 0 && errno == EINTR) return;  // still readable: poll reports it again
  if (got <= 0) {
    close(connection);
    return;
  }
  // The complete lines are delivered even when what follows them passes the cap.
  const bool withinCap = connection.lines.append(chunk, static_cast<std::size_t>(got));
  while (auto line = connection.lines.nextLine()) {
    const std::size_t size = line->size();
    connection.backlog->lines.fetch_add(1);
    connection.backlog->bytes.fetch_add(size);
    loop.post([weak = weak_from_this(), client = connection.client, backlog = connection.backlog,
               text = std::move(*line)] {
      auto self = weak.lock();
      if (self && self->owner.onLine) self->owner.onLine(client, text);
      backlog->lines.fetch_sub(1);
      backlog->bytes.fetch_sub(text.size());
      if (self && !backlog->isFull() && backlog->paused.exchange(false)) self->wake();
    });
  }
  if (!withinCap) close(connection);
}

void UnixSocketServer::Impl::close(Connection& connection) {
  // Shutting down first ends a write that is blocked on this peer, so the close below never
  // waits for the send time-out.
  ::shutdown(connection.client->fd_, SHUT_RDWR);
  connection.client->closeDescriptor();
  connection.closed = true;
  loop.post([weak = weak_from_this(), client = connection.client] {
    auto self = weak.lock();
    if (self && self->owner.onDisconnect) self->owner.onDisconnect(client);
  });
}

// ---- the server ---------------------------------------------------------------------------------

UnixSocketServer::UnixSocketServer(std::string path, platform::MainLoop& loop)
    : path_(std::move(path)), impl_(std::make_shared<Impl>(*this, loop)) {}

UnixSocketServer::~UnixSocketServer() {
  if (impl_->thread.joinable()) {
    impl_->stopping = true;
    impl_->wake();
    impl_->thread.join();
  }
  for (const auto& connection : impl_->connections) {
    ::shutdown(connection->client->fd_, SHUT_RDWR);
    connection->client->closeDescriptor();
  }
  if (impl_->listenFD >= 0) ::close(impl_->listenFD);
  if (impl_->wakeFD >= 0) ::close(impl_->wakeFD);
  impl_->wakeFD = -1;  // a line handled after this finds no thread to wake
}

std::optional<std::string> UnixSocketServer::start() {
  if (impl_->listenFD >= 0) return std::string("start failed: the server is already started");
  // Checked before anything is created or removed: a path that cannot be bound must leave
  // neither a descriptor nor a deleted file behind.
  if (!hostchannel::fitsSocketAddress(path_))
    return PosixError{"socket path too long", ENAMETOOLONG}.description();

  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  if (auto error = files::createFolders(folder, 0700)) return error;
  ::chmod(folder.c_str(), 0700);  // an existing folder is tightened too
  ::unlink(path_.c_str());        // a socket file left by an earlier run would fail the bind

  auto fail = [](const char* operation, int fd) {
    const int code = errno;
    if (fd >= 0) ::close(fd);
    return std::optional<std::string>(PosixError{operation, code}.description());
  };
  // Non-blocking, so a peer that gives up between readiness and accept cannot stall the thread.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return fail("socket", -1);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return fail("bind", fd);
  ::chmod(path_.c_str(), 0600);
  if (::listen(fd, kBacklog) != 0) return fail("listen", fd);
  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) return fail("eventfd", fd);

  impl_->listenFD = fd;
  impl_->wakeFD = wake;
  try {
    impl_->thread = std::thread([impl = impl_.get()] {
      platform::ThreadSignalStack::ensureForThisThread();
      impl->run();
    });
  } catch (const std::system_error& error) {
    ::close(fd);
    ::close(wake);
    impl_->listenFD = impl_->wakeFD = -1;
    return PosixError{"thread", error.code().value()}.description();
  }
  return std::nullopt;
}

std::uint64_t UnixSocketServer::failedAccepts() const {
  return impl_->failedAccepts.load();
}

}  // namespace velvix
