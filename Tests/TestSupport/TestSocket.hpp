#pragma once
// A raw Unix-domain stream socket for tests that play the other side of a real socket: a client of
// the application's server, or the listening application that the relay connects to. Every wait is
// bounded in real time; sends never raise SIGPIPE.

#include <chrono>
#include <string>
#include <string_view>

namespace velvix::test {

class TestSocket {
 public:
  using Bound = std::chrono::milliseconds;
  static constexpr Bound kBound = std::chrono::seconds(10);

  // Not connected; see connectTo / listenAt.
  TestSocket() = default;
  explicit TestSocket(int fd) : fd_(fd) {}
  ~TestSocket();
  TestSocket(TestSocket&& other) noexcept;
  TestSocket& operator=(TestSocket&& other) noexcept;

  // A socket connected to `path`; not open when the connection failed.
  static TestSocket connectTo(const std::string& path);
  // A socket that is not connected yet, for a test that must create it before connecting.
  static TestSocket unconnected();
  bool connect(const std::string& path);
  // A socket listening at `path` (whose folder must exist).
  static TestSocket listenAt(const std::string& path);
  // The next connection to a listening socket; not open when none came within the bound.
  TestSocket acceptOne(Bound bound = kBound);

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Sends every byte; false when the connection refused some.
  bool send(std::string_view bytes);
  // Reads until `size` bytes arrived, the peer closed, or the bound passed.
  std::string receive(std::size_t size, Bound bound = kBound);
  // Reads (and discards) until the peer closes; false when it did not close within the bound.
  bool waitForClose(Bound bound = kBound);
  void close();

 private:
  int fd_ = -1;
};

}  // namespace velvix::test
