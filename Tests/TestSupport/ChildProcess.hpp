#pragma once
// A real program started the way a browser starts a native-messaging host: pipes on its standard
// input and output, an environment of the test's choosing. Reads and waits are bounded in real
// time; a child still running when the test ends is killed.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace velvix::test {

class ChildProcess {
 public:
  using Bound = std::chrono::milliseconds;
  static constexpr Bound kBound = std::chrono::seconds(10);

  // Starts `program` with `arguments`; `environment` adds to (or overrides) the test's own.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments = {},
               const std::map<std::string, std::string>& environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool isRunning() const { return pid_ > 0 && !status_; }
  pid_t pid() const { return pid_; }
  // Writes every byte to its standard input; false once it stopped reading.
  bool write(std::string_view bytes);
  void closeInput();
  // Reads its standard output until `size` bytes arrived, it closed it, or the bound passed.
  std::string read(std::size_t size, Bound bound = kBound);
  // Its exit status once it has ended within the bound (128 + the signal when a signal ended it).
  std::optional<int> waitForExit(Bound bound = kBound);

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::optional<int> status_;
};

}  // namespace velvix::test
