// A stand-in script interpreter for the tests of the real script runner, started the way the
// runner starts the system's one: "<program> -e <script>". The script is a list of commands, one
// per line, run in order:
//   out <text>          <text> and a line feed on standard output
//   err <text>          the same on standard error
//   echo-script         the whole script on standard output, as received
//   wait <seconds>      pause
//   ignore-term         SIGTERM is ignored from now on
//   flood <bytes>       that many bytes of output ("forever": without end)
//   grandchild <secs>   a child in a session of its own keeps standard output open that long
//   exit <status>       ends with that status (the end of the script ends with 0)
// Unknown lines are ignored.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include <time.h>
#include <unistd.h>

namespace {

void pause(double seconds) {
  timespec t{static_cast<time_t>(seconds), static_cast<long>((seconds - static_cast<time_t>(seconds)) * 1e9)};
  while (nanosleep(&t, &t) != 0) {
  }
}

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) std::exit(2);
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "-e") != 0) return 64;
  const std::string script = argv[2];
  std::istringstream lines(script);
  std::string line;
  while (std::getline(lines, line)) {
    const auto space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (command == "out")
      writeAll(1, rest + "\n");
    else if (command == "err")
      writeAll(2, rest + "\n");
    else if (command == "echo-script")
      writeAll(1, script);
    else if (command == "wait")
      pause(std::atof(rest.c_str()));
    else if (command == "ignore-term")
      std::signal(SIGTERM, SIG_IGN);
    else if (command == "exit")
      return std::atoi(rest.c_str());
    else if (command == "flood") {
      const std::string chunk(4096, 'x');
      if (rest == "forever")
        for (;;) writeAll(1, chunk);
      for (long left = std::atol(rest.c_str()); left > 0; left -= 4096)
        writeAll(1, chunk.substr(0, std::min(4096L, left)));
    } else if (command == "grandchild") {
      if (fork() == 0) {
        setsid();
        pause(std::atof(rest.c_str()));
        _exit(0);
      }
    }
  }
  return 0;
}
