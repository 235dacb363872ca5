#include "Platform/Linux/UnixMessagePorts.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/ThreadSignalStack.hpp"
#include "Platform/MainLoop.hpp"
#include "SafariExtension/Shared/PortChannel.hpp"

namespace velvix::platform {

namespace {

using Clock = std::chrono::steady_clock;

Clock::duration lasting(double seconds) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

Clock::time_point after(double seconds) {
  return Clock::now() + lasting(seconds);
}

// One registered port: the listening socket, its I/O thread and the requests in flight.
class UnixLocalPort final : public LocalPort {
 public:
  UnixLocalPort(MainLoop& loop, MessagePorts::Handler handler, int listenFD, int wakeFD, std::string path,
                std::shared_ptr<std::atomic<std::uint64_t>> failedAccepts)
      : shared_(std::make_shared<Shared>(loop, std::move(handler))),
        listenFD_(listenFD),
        path_(std::move(path)),
        failedAccepts_(std::move(failedAccepts)) {
    shared_->wakeFD = wakeFD;
    thread_ = std::thread([this] {
      ThreadSignalStack::ensureForThisThread();
      run();
    });
  }
  ~UnixLocalPort() override {
    shared_->stopping = true;
    shared_->wake();
    thread_.join();
    for (auto& c : connections_) ::close(c.fd);
    ::close(listenFD_);
    ::close(shared_->wakeFD);
    ::unlink(path_.c_str());
  }

 private:
  // What the main loop's hand-offs share with the I/O thread; outlives the port while queued.
  struct Shared {
    Shared(MainLoop& loop, MessagePorts::Handler handler) : loop(loop), handler(std::move(handler)) {}
    void wake() {
      const std::uint64_t one = 1;
      [[maybe_unused]] auto ignored = ::write(wakeFD, &one, sizeof(one));
    }
    MainLoop& loop;
    MessagePorts::Handler handler;
    int wakeFD = -1;
    std::atomic<bool> stopping{false};
    std::mutex lock;
    std::deque<std::pair<std::uint64_t, std::optional<std::string>>> replies;  // under lock
  };
  enum class State { reading, serving, writing };
  struct Connection {
    int fd;
    std::uint64_t number;
    State state = State::reading;
    Clock::time_point deadline;
    Clock::time_point lastHeard;  // when it connected or last sent a byte
    bool polled = false;          // it has had a turn to send since it was accepted
    std::string bytes;            // the request as it arrives, then the reply as it leaves
    std::size_t written = 0;
    bool done = false;
  };

  void run();
  void accept();
  // The reading requester that has been silent longest, once it has had its turn and been
  // silent for the grace; its place may go to a requester waiting behind it.
  Connection* stalest();
  Clock::time_point stalestDue() const;
  void read(Connection& c);
  void write(Connection& c);
  void takeReplies();

  std::shared_ptr<Shared> shared_;
  int listenFD_;
  std::string path_;
  std::thread thread_;
  std::shared_ptr<std::atomic<std::uint64_t>> failedAccepts_;
  std::vector<Connection> connections_;  // the I/O thread's own
  std::uint64_t nextNumber_ = 1;
  Clock::time_point acceptResumes_{};
};

void UnixLocalPort::run() {
  std::vector<pollfd> fds;
  while (!shared_->stopping) {
    fds.clear();
    fds.push_back({shared_->wakeFD, POLLIN, 0});
    // At the limit, new requesters wait in the listening socket's backlog until a place frees or
    // a stalled requester can give up its own. After a failed accept the backlog rests a while.
    const auto now = Clock::now();
    auto soonest = Clock::time_point::max();
    bool accepting = now >= acceptResumes_;
    if (!accepting) {
      soonest = acceptResumes_;
    } else if (connections_.size() >= static_cast<std::size_t>(UnixMessagePorts::kMaxConnections)) {
      const auto due = stalestDue();
      accepting = due <= now;
      if (!accepting) soonest = due;
    }
    fds.push_back({listenFD_, static_cast<short>(accepting ? POLLIN : 0), 0});
    for (auto& c : connections_) {
      c.polled = true;
      fds.push_back({c.fd,
                     static_cast<short>(c.state == State::reading   ? POLLIN
                                        : c.state == State::writing ? POLLOUT
                                                                    : 0),
                     0});
      soonest = std::min(soonest, c.deadline);
    }
    int timeout = -1;
    if (soonest != Clock::time_point::max())
      timeout = static_cast<int>(std::max<long long>(
          0, std::chrono::duration_cast<std::chrono::milliseconds>(soonest - Clock::now()).count() + 1));
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) continue;
    if (fds[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] auto ignored = ::read(shared_->wakeFD, &count, sizeof(count));
      takeReplies();
    }
    const std::size_t existing = std::min(connections_.size(), fds.size() - 2);
    for (std::size_t i = 0; i < existing; ++i) {
      Connection& c = connections_[i];
      if (fds[2 + i].revents == 0) continue;
      if (c.state == State::reading)
        read(c);
      else if (c.state == State::writing)
        write(c);
      else
        c.done = true;  // the requester hung up while its request was served
    }
    const auto afterPoll = Clock::now();
    for (auto& c : connections_)
      if (c.deadline <= afterPoll) c.done = true;  // too slow to send, to be answered or to read
    std::erase_if(connections_, [](const Connection& c) {
      if (c.done) ::close(c.fd);
      return c.done;
    });
    if ((fds[1].revents & POLLIN) != 0) accept();
  }
}

UnixLocalPort::Connection* UnixLocalPort::stalest() {
  Connection* found = nullptr;
  for (auto& c : connections_)
    if (c.state == State::reading && c.polled && (!found || c.lastHeard < found->lastHeard)) found = &c;
  if (found && found->lastHeard + lasting(UnixMessagePorts::kStallGrace) > Clock::now()) return nullptr;
  return found;
}

// When the stalest reader's grace runs out (every reader has its turn in the round that waits for
// it); never when none is reading, as serving requesters free their places by themselves.
Clock::time_point UnixLocalPort::stalestDue() const {
  auto due = Clock::time_point::max();
  for (const auto& c : connections_)
    if (c.state == State::reading) due = std::min(due, c.lastHeard + lasting(UnixMessagePorts::kStallGrace));
  return due;
}

// Takes every waiting requester there is room for; each must send its request whole within the
// request window from here. At the limit, a requester that has stalled gives its place to the
// one waiting, so a crowd of stalled requesters cannot starve real ones, which send at once.
void UnixLocalPort::accept() {
  for (;;) {
    Connection* giving = nullptr;
    if (connections_.size() >= static_cast<std::size_t>(UnixMessagePorts::kMaxConnections) &&
        !(giving = stalest()))
      return;
    const int fd = ::accept4(listenFD_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      // A requester that gave up before its turn is nothing to wait for; a shortage of
      // descriptors or memory is, and the requesters stay queued until it passes.
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) {
        failedAccepts_->fetch_add(1);
        acceptResumes_ = after(UnixMessagePorts::kAcceptPause);
      }
      return;
    }
    if (giving) {
      ::close(giving->fd);
      if (giving != &connections_.back()) *giving = std::move(connections_.back());
      connections_.pop_back();
    }
    const auto now = Clock::now();
    connections_.push_back({.fd = fd,
                            .number = nextNumber_++,
                            .deadline = after(UnixMessagePorts::kRequestWindow),
                            .lastHeard = now});
  }
}

void UnixLocalPort::read(Connection& c) {
  char chunk[65536];
  const ssize_t n = ::recv(c.fd, chunk, sizeof(chunk), 0);
  if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n <= 0) {
    c.done = true;
    return;
  }
  c.bytes.append(chunk, static_cast<std::size_t>(n));
  c.lastHeard = Clock::now();
  if (c.bytes.size() < portchannel::kHeaderBytes) return;
  const auto header = portchannel::readHeader(c.bytes.data());
  if (header.length > portchannel::kMaxFrameBytes ||
      c.bytes.size() > portchannel::kHeaderBytes + header.length) {
    c.done = true;  // too large, or more than one request: answered with nothing
    return;
  }
  if (c.bytes.size() < portchannel::kHeaderBytes + header.length) return;
  c.state = State::serving;
  c.deadline = after(UnixMessagePorts::kServeWindow);
  shared_->loop.post([weak = std::weak_ptr<Shared>(shared_), number = c.number, id = header.first,
                      data = c.bytes.substr(portchannel::kHeaderBytes)]() mutable {
    auto shared = weak.lock();
    if (!shared || shared->stopping) return;
    auto reply = shared->handler(id, std::move(data));
    {
      std::lock_guard lock(shared->lock);
      shared->replies.emplace_back(number, std::move(reply));
    }
    shared->wake();
  });
  c.bytes.clear();
}

void UnixLocalPort::takeReplies() {
  std::deque<std::pair<std::uint64_t, std::optional<std::string>>> replies;
  {
    std::lock_guard lock(shared_->lock);
    replies.swap(shared_->replies);
  }
  for (auto& [number, reply] : replies)
    for (auto& c : connections_)
      if (c.number == number && c.state == State::serving) {
        c.state = State::writing;
        c.deadline = after(UnixMessagePorts::kReplyWindow);
        c.bytes =
            portchannel::frame(reply ? 1 : 0, reply ? std::optional<std::string_view>(*reply) : std::nullopt);
        c.written = 0;
        write(c);
      }
}

void UnixLocalPort::write(Connection& c) {
  while (c.written < c.bytes.size()) {
    const ssize_t n = ::send(c.fd, c.bytes.data() + c.written, c.bytes.size() - c.written, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // the rest when it can take it
    if (n <= 0) break;
    c.written += static_cast<std::size_t>(n);
  }
  c.done = true;  // one request per connection
}

class UnixRemotePort final : public RemotePort {
 public:
  UnixRemotePort(portchannel::Address address, int fd) : address_(std::move(address)), fd_(fd) {}
  ~UnixRemotePort() override { invalidate(); }

  Reply sendRequest(std::int32_t messageID, std::string_view data, double sendTimeout,
                    double receiveTimeout) override {
    if (!valid_) return {PortStatus::isInvalid, std::nullopt};
    if (fd_ < 0) fd_ = portchannel::connectTo(address_, sendTimeout);  // one request per connection
    if (fd_ < 0) return {PortStatus::isInvalid, std::nullopt};
    Reply reply;
    reply.status = static_cast<PortStatus>(
        portchannel::request(fd_, messageID, data, sendTimeout, receiveTimeout, reply.data));
    ::close(fd_);
    fd_ = -1;
    return reply;
  }
  void invalidate() override {
    valid_ = false;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  portchannel::Address address_;
  int fd_;
  bool valid_ = true;
};

}  // namespace

UnixMessagePorts::UnixMessagePorts(MainLoop& loop, std::string folder, Log log)
    : loop_(loop), folder_(std::move(folder)), log_(std::move(log)) {}

std::unique_ptr<LocalPort> UnixMessagePorts::createLocal(const std::string& name, Handler handler) {
  auto fail = [&](const std::string& why) {
    if (log_) log_("message port " + name + ": " + why);
    return nullptr;
  };
  if (auto error = files::createFolders(folder_, 0700)) return fail(*error);
  ::chmod(folder_.c_str(), 0700);  // an existing folder is tightened too
  // The length is checked before anything is created or removed.
  auto address = portchannel::Address::make(folder_, portchannel::fileName(name));
  if (!address) return fail("socket path does not fit a socket address");

  // A socket file that nothing listens on is left by a run that crashed: it is replaced. One that
  // answers belongs to a live port, whose name stays its own.
  // One that takes no connection in time belongs to a live port whose owner is stopped.
  if (const int probe = portchannel::connectTo(*address, kRequestWindow); probe >= 0) {
    ::close(probe);
    return fail("the name is held by another port");
  } else if (portchannel::connectTimedOut()) {
    return fail("the name is held by another port");
  } else if (errno == ECONNREFUSED) {
    ::unlink(address->path().c_str());
  }

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return fail(files::errnoText("socket"));
  if (::bind(fd, address->get(), address->size()) != 0 || ::listen(fd, kBacklog) != 0) {
    const std::string error = files::errnoText("bind");
    ::close(fd);
    return fail(error);
  }
  ::chmod(address->path().c_str(), 0600);
  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    ::close(fd);
    ::unlink(address->path().c_str());
    return fail(files::errnoText("eventfd"));
  }
  return std::make_unique<UnixLocalPort>(loop_, std::move(handler), fd, wake, address->path(),
                                         failedAccepts_);
}

std::unique_ptr<RemotePort> UnixMessagePorts::createRemote(const std::string& name) {
  auto address = portchannel::Address::make(folder_, portchannel::fileName(name));
  if (!address) return nullptr;
  const int fd = portchannel::connectTo(*address, kRequestWindow);
  if (fd < 0) return nullptr;
  return std::make_unique<UnixRemotePort>(std::move(*address), fd);
}

}  // namespace velvix::platform
