#pragma once
// The relay between a browser's native-messaging pipe and the application's socket. Each browser
// frame becomes one line on the socket; each non-blank line from the socket becomes one frame to
// the browser. It looks into no message. Either direction ending ends the whole program, and so
// does a side that is stuck: every wait of the relay has a deadline, and a browser that goes
// away is noticed even while the relay waits for the application.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velvix::relay {

// Seconds the application has to take the relay's connection (a stopped application with a full
// listen queue never does), any side has to take a byte the relay writes, and a side that has
// begun a message has to send the rest of it.
inline constexpr double kConnectTimeout = 2.0;
inline constexpr double kSendTimeout = 10.0;
inline constexpr double kReceiveTimeout = 10.0;

// Where a read loop reads: a descriptor in the relay, memory in the fuzz target.
class Input {
 public:
  virtual ~Input() = default;
  // Up to `size` bytes into `data`; 0 at the end of the input or on a failure, and, while a
  // message is `begun`, when nothing more came within the receive time-out.
  virtual std::size_t read(char* data, std::size_t size, bool begun) = 0;
};

// Where a read loop writes.
class Output {
 public:
  virtual ~Output() = default;
  // Writes `head` then `body`, whole; false when the other side failed or took nothing for the
  // send time-out.
  virtual bool write(std::string_view head, std::string_view body) = 0;
};

class DescriptorInput final : public Input {
 public:
  explicit DescriptorInput(int fd) : fd_(fd) {}
  std::size_t read(char* data, std::size_t size, bool begun) override;

 private:
  int fd_;
};

// Writes to `fd`, which should be non-blocking so that a side that stops reading is noticed at
// the deadline. While it waits, a hang-up of `watched` (the browser's end of the pipe, when set)
// ends the wait at once: the browser is gone and nothing is worth delivering any more.
class DescriptorOutput final : public Output {
 public:
  explicit DescriptorOutput(int fd, int watched = -1) : fd_(fd), watched_(watched) {}
  bool write(std::string_view head, std::string_view body) override;

 private:
  int fd_;
  int watched_;
};

// A stream socket connected to `socketPath` within the connect time-out, or nothing (the failed
// attempt's descriptor closed).
std::optional<int> connectToHost(const std::string& socketPath);
// Browser to application: frames from standard input, lines to the socket. Never returns.
[[noreturn]] void pumpChromeToHost(int socket);
// Application to browser: lines from the socket, frames to standard output. Never returns.
[[noreturn]] void pumpHostToChrome(int socket);

// The two read loops themselves. Each returns when its input ends (an unfinished last frame or
// line is dropped), a frame is too large, or its output fails.
void copyFramesToLines(Input& frames, Output& lines);
void copyLinesToFrames(Input& lines, Output& frames);

}  // namespace velvix::relay
