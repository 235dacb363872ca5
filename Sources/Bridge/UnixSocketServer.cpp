#include "Bridge/UnixSocketServer.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
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
#include "VelvixChromeHost/Shared/SocketAddress.hpp"

namespace velvix {

static_assert(UnixSocketServer::kMaxBufferedBytes == SocketLineCutter::kMaxPendingBytes);

namespace {
std::chrono::steady_clock::duration lasting(double seconds) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
}
}  // namespace

std::string PosixError::description() const {
  return operation + " failed: " + std::generic_category().message(code);
}

// ---- one connection -----------------------------------------------------------------------------

// The I/O thread's wake-up, shared with the clients, which outlive the server's thread.
struct UnixSocketServer::Client::Waker {
  int fd = -1;
  ~Waker() {
    if (fd >= 0) ::close(fd);
  }
  void wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto ignored = ::write(fd, &one, sizeof(one));
  }
};

UnixSocketServer::Client::Client(int fd, std::optional<platform::Pid> peer, std::uint64_t number,
                                 std::shared_ptr<Waker> waker)
    : fd_(fd), peerPID_(peer), number_(number), waker_(std::move(waker)) {}

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
  queued_.clear();
  ::close(fd_);
}

void UnixSocketServer::Client::close() {
  refused_ = true;
  {
    std::lock_guard lock(writeLock_);
    if (isClosed_) return;
    // The I/O thread sees the hang-up and closes the connection the one way every close goes.
    ::shutdown(fd_, SHUT_RDWR);
  }
  waker_->wake();
}

bool UnixSocketServer::Client::writeQueued() {
  std::size_t written = 0;
  bool failed = false;
  while (written < queued_.size()) {
    const ssize_t put =
        ::send(fd_, queued_.data() + written, queued_.size() - written, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;  // the rest when the peer reads
    if (put < 1) {
      failed = true;
      break;
    }
    written += static_cast<std::size_t>(put);
  }
  if (written > 0) {
    queued_.erase(0, written);
    lastProgress_ = Clock::now();
  }
  return !failed;
}

bool UnixSocketServer::Client::sendLine(std::string_view line) {
  if (line.find('\n') != std::string_view::npos) return false;
  std::lock_guard lock(writeLock_);
  if (isClosed_ || refused_) return false;
  if (queued_.size() + line.size() + 1 > kMaxQueuedSendBytes) return false;
  const bool wasIdle = queued_.empty();
  queued_.append(line);
  queued_.push_back('\n');
  if (!wasIdle) return true;  // behind bytes the I/O thread is already waiting to write
  lastProgress_ = Clock::now();
  if (!writeQueued()) {
    // The peer is gone; a part of the line may have left, so nothing more may follow it.
    queued_.clear();
    ::shutdown(fd_, SHUT_RDWR);
    return false;
  }
  if (!queued_.empty()) waker_->wake();  // the I/O thread writes the rest as the peer reads
  return true;
}

bool UnixSocketServer::Client::flush() {
  std::lock_guard lock(writeLock_);
  return isClosed_ || writeQueued();
}

std::optional<UnixSocketServer::Client::Clock::time_point> UnixSocketServer::Client::stalledSince() const {
  std::lock_guard lock(writeLock_);
  if (isClosed_ || queued_.empty()) return std::nullopt;
  return lastProgress_;
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
    // Until its first complete line, when the connection must have sent one.
    std::optional<Clock::time_point> firstLineDue;
  };

  Impl(UnixSocketServer& owner, platform::MainLoop& loop, double firstLineDeadline)
      : owner(owner),
        loop(loop),
        waker(std::make_shared<Client::Waker>()),
        firstLineDeadline(lasting(firstLineDeadline)) {}

  void run();
  void acceptOne();
  void admit(int fd, std::optional<platform::Pid> peer, bool adopted);
  void takeAdopted();
  void readOnce(Connection& connection);
  void close(Connection& connection);
  bool isPaused(Connection& connection);
  void wake() { waker->wake(); }

  UnixSocketServer& owner;
  platform::MainLoop& loop;
  int listenFD = -1;
  const std::shared_ptr<Client::Waker> waker;
  const Clock::duration firstLineDeadline;
  std::thread thread;
  std::atomic<std::uint64_t> failedAccepts{0};
  std::atomic<bool> stopping{false};
  // The I/O thread's own state.
  std::vector<std::unique_ptr<Connection>> connections;
  std::uint64_t nextNumber = 1;
  Clock::time_point acceptResumes{};
  // Descriptors the program handed over, until the I/O thread takes them in.
  std::mutex adoptLock;
  std::vector<std::pair<int, platform::Pid>> adopted;  // under adoptLock
};

void UnixSocketServer::Impl::run() {
  std::vector<pollfd> fds;
  for (;;) {
    fds.clear();
    fds.push_back({waker->fd, POLLIN, 0});
    int timeout = -1;
    const auto now = Clock::now();
    const bool accepting = now >= acceptResumes;
    if (accepting) {
      fds.push_back({listenFD, POLLIN, 0});
    } else {
      const double wait = std::chrono::duration<double, std::milli>(acceptResumes - now).count();
      timeout = static_cast<int>(std::ceil(wait));
    }
    // A paused connection is not read (a hang-up would keep waking it); the main loop wakes the
    // thread once it has caught up. A connection with queued output waits to write, until the
    // send time-out after its peer last took a byte; one that has sent no line, until its deadline.
    const std::size_t firstClient = fds.size();
    std::vector<Connection*> polled;
    std::optional<Clock::time_point> soonestDue;
    for (const auto& connection : connections) {
      if (const auto& due = connection->firstLineDue; due && (!soonestDue || *due < *soonestDue))
        soonestDue = *due;
      short events = isPaused(*connection) ? 0 : POLLIN;
      if (auto stalled = connection->client->stalledSince()) {
        events |= POLLOUT;
        const auto due = *stalled + lasting(kSendTimeout);
        if (!soonestDue || due < *soonestDue) soonestDue = due;
      }
      if (events == 0) continue;
      fds.push_back({connection->client->fd_, events, 0});
      polled.push_back(connection.get());
    }
    if (soonestDue) {
      const double wait = std::chrono::duration<double, std::milli>(*soonestDue - now).count();
      const int dueTimeout = std::max(0, static_cast<int>(std::ceil(wait)));
      timeout = timeout < 0 ? dueTimeout : std::min(timeout, dueTimeout);
    }

    if (::poll(fds.data(), fds.size(), timeout) < 0) {
      if (errno != EINTR) ::poll(nullptr, 0, static_cast<int>(kAcceptPause * 1000));  // out of memory: rest
      continue;
    }
    if (fds[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] auto drained = ::read(waker->fd, &count, sizeof(count));
      if (stopping.load()) return;  // the server is going away
      takeAdopted();
    }

    // Reads first, so connections that closed no longer count against the limit.
    for (std::size_t i = 0; i < polled.size(); ++i) {
      const pollfd& entry = fds[firstClient + i];
      Connection& connection = *polled[i];
      if (entry.revents == 0) continue;
      if ((entry.events & POLLIN) != 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        readOnce(connection);
      // A write-only poll ends in a hang-up too: the failed write then closes the connection.
      if (!connection.closed && (entry.events & POLLOUT) != 0 && !connection.client->flush())
        close(connection);
    }
    // A peer that has taken nothing for the send time-out is stuck (a hung browser, a relay whose
    // pipe is full): its connection goes, so the browser counts as disconnected.
    const auto afterPoll = Clock::now();
    for (const auto& connection : connections)
      if (auto stalled = connection->client->stalledSince();
          !connection->closed && stalled && afterPoll - *stalled >= lasting(kSendTimeout))
        close(*connection);
    // A peer that has said nothing by its deadline goes too: idle connections (a local process
    // that only connects) must not hold the places a browser's relay needs.
    for (const auto& connection : connections)
      if (!connection->closed && connection->firstLineDue && afterPoll >= *connection->firstLineDue)
        close(*connection);
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
      acceptResumes = Clock::now() + lasting(kAcceptPause);
    return;
  }
  if (connections.size() >= static_cast<std::size_t>(kMaxClients)) {
    ::close(fd);
    return;
  }
  ucred credentials{};
  socklen_t size = sizeof(credentials);
  std::optional<platform::Pid> peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 && credentials.pid >= 1)
    peer = credentials.pid;
  if (owner.admits && !owner.admits(peer)) {
    ::close(fd);
    return;
  }
  admit(fd, peer, false);
}

void UnixSocketServer::Impl::takeAdopted() {
  std::vector<std::pair<int, platform::Pid>> taken;
  {
    std::lock_guard lock(adoptLock);
    taken.swap(adopted);
  }
  for (const auto& [fd, peer] : taken) {
    if (connections.size() >= static_cast<std::size_t>(kMaxClients)) {
      ::close(fd);
      continue;
    }
    admit(fd, peer, true);
  }
}

void UnixSocketServer::Impl::admit(int fd, std::optional<platform::Pid> peer, bool adopted) {
  auto connection = std::make_unique<Connection>();
  connection->client = std::shared_ptr<Client>(new Client(fd, peer, nextNumber++, waker));
  connection->client->adopted_ = adopted;
  connection->firstLineDue = Clock::now() + firstLineDeadline;
  // Handed over before any of its lines, so the owner has judged the peer before it reads one.
  loop.post([weak = weak_from_this(), client = connection->client] {
    auto self = weak.lock();
    if (self && self->owner.onAccept && !client->refused_) self->owner.onAccept(client);
  });
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
    connection.firstLineDue.reset();
    const std::size_t size = line->size();
    connection.backlog->lines.fetch_add(1);
    connection.backlog->bytes.fetch_add(size);
    loop.post([weak = weak_from_this(), client = connection.client, backlog = connection.backlog,
               text = std::move(*line)] {
      auto self = weak.lock();
      // A refused peer's lines are dropped unread: each would cost its check again.
      if (self && self->owner.onLine && !client->refused_) self->owner.onLine(client, text);
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

UnixSocketServer::UnixSocketServer(std::string path, platform::MainLoop& loop, double firstLineDeadline)
    : path_(std::move(path)), impl_(std::make_shared<Impl>(*this, loop, firstLineDeadline)) {}

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
  for (const auto& [fd, peer] : impl_->adopted) ::close(fd);  // handed over, never taken in
  if (impl_->listenFD >= 0) ::close(impl_->listenFD);
}

std::optional<std::string> UnixSocketServer::start() {
  if (impl_->listenFD >= 0) return std::string("start failed: the server is already started");
  // Checked before anything is created or removed: a path that cannot be bound must leave
  // neither a descriptor nor a deleted file behind.
  if (path_.find('\0') != std::string::npos) return PosixError{"socket path", EINVAL}.description();

  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  if (auto error = files::createFolders(folder, 0700)) return error;
  ::chmod(folder.c_str(), 0700);  // an existing folder is tightened too
  // A deep home folder's path does not fit an address: it is bound through the folder.
  const auto address = hostchannel::SocketAddress::make(path_);
  if (!address) return PosixError{"socket path too long", ENAMETOOLONG}.description();
  ::unlink(path_.c_str());  // a socket file left by an earlier run would fail the bind

  auto fail = [](const char* operation, int fd) {
    const int code = errno;
    if (fd >= 0) ::close(fd);
    return std::optional<std::string>(PosixError{operation, code}.description());
  };
  // Non-blocking, so a peer that gives up between readiness and accept cannot stall the thread.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return fail("socket", -1);
  if (::bind(fd, address->get(), address->size()) != 0) return fail("bind", fd);
  ::chmod(path_.c_str(), 0600);
  if (::listen(fd, kBacklog) != 0) return fail("listen", fd);
  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) return fail("eventfd", fd);

  impl_->listenFD = fd;
  impl_->waker->fd = wake;
  try {
    impl_->thread = std::thread([impl = impl_.get()] {
      platform::ThreadSignalStack::ensureForThisThread();
      impl->run();
    });
  } catch (const std::system_error& error) {
    ::close(fd);
    ::close(wake);
    impl_->listenFD = impl_->waker->fd = -1;
    return PosixError{"thread", error.code().value()}.description();
  }
  return std::nullopt;
}

bool UnixSocketServer::adopt(int fd, platform::Pid peer) {
  if (impl_->listenFD < 0) {
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  {
    std::lock_guard lock(impl_->adoptLock);
    impl_->adopted.emplace_back(fd, peer);
  }
  impl_->wake();
  return true;
}

std::uint64_t UnixSocketServer::failedAccepts() const {
  return impl_->failedAccepts.load();
}

}  // namespace velvix
