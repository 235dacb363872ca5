// velvix_chrome_host: started by a Chromium-family browser for the extension's native port. It
// joins the browser's pipe to the application's socket and prints nothing. Exit status 1 means
// the application could not be reached; every other end is status 0.

#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

#include "VelvixChromeHost/ChromeHostRelay.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"

int main() {
  // A write to a closed socket or a closed pipe must fail, not kill the relay before it can end
  // cleanly.
  std::signal(SIGPIPE, SIG_IGN);
  const std::string socketPath = velvix::hostchannel::socketPath(velvix::hostchannel::homeFolder());
  const auto socket = velvix::relay::connectToHost(socketPath);
  if (!socket) return 1;
  // Writes that wait on their own could wait forever on a side that is stuck; these wait in poll,
  // with a deadline. Standard output is changed only when it is the browser's pipe, never a
  // terminal that a person shares with other programs.
  ::fcntl(*socket, F_SETFL, ::fcntl(*socket, F_GETFL) | O_NONBLOCK);
  struct stat output {};
  if (::fstat(STDOUT_FILENO, &output) == 0 && (S_ISFIFO(output.st_mode) || S_ISSOCK(output.st_mode)))
    ::fcntl(STDOUT_FILENO, F_SETFL, ::fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK);
  try {
    std::thread(velvix::relay::pumpHostToChrome, *socket).detach();
  } catch (...) {
    return 1;  // without its second direction the relay cannot work at all
  }
  velvix::relay::pumpChromeToHost(*socket);
}
