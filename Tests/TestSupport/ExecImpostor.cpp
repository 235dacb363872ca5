#include "TestSupport/ExecImpostor.hpp"

#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "VelvixChromeHost/Shared/SocketAddress.hpp"

namespace velvix::test {

namespace {

// How long the child keeps its connection open at most, waiting for the server to drop it.
constexpr int kHoldMilliseconds = 30000;

}  // namespace

ExecImpostor::ExecImpostor(const std::string& socketPath, const std::string& program,
                           const std::vector<std::string>& arguments, const std::vector<std::string>& lines) {
  // Everything is made before the fork: the test program has threads, so the forked processes
  // only make system calls.
  const auto address = hostchannel::SocketAddress::make(socketPath);
  if (!address) throw std::runtime_error("no address for " + socketPath);
  std::vector<std::string> argumentCopies{program};
  argumentCopies.insert(argumentCopies.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : argumentCopies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::string text;
  for (const auto& line : lines) text += line + "\n";

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ > 0) {
    ::setpgid(pid_, pid_);  // also done by the child: whichever runs first
    return;
  }
  ::setpgid(0, 0);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, address->get(), address->size()) != 0) ::_exit(126);
  // The write end closes when the exec succeeds: that tells the child the peer is the program.
  int execDone[2];
  if (::pipe2(execDone, O_CLOEXEC) != 0) ::_exit(126);
  const pid_t child = ::fork();
  if (child < 0) ::_exit(126);
  if (child == 0) {
    ::close(execDone[1]);
    char byte = 0;
    while (::read(execDone[0], &byte, 1) > 0) {
    }
    for (std::size_t sent = 0; sent < text.size();) {
      const ssize_t put = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (put <= 0) ::_exit(1);
      sent += static_cast<std::size_t>(put);
    }
    // Holds the connection until the server drops it.
    pollfd entry{fd, POLLIN, 0};
    char buffer[256];
    while (::poll(&entry, 1, kHoldMilliseconds) > 0 && ::read(fd, buffer, sizeof(buffer)) > 0) {
    }
    ::_exit(0);
  }
  ::close(execDone[0]);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

ExecImpostor::~ExecImpostor() {
  if (pid_ <= 0) return;
  ::kill(-pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

}  // namespace velvix::test
