// The relay program itself, started as a browser starts it, moving 1 MiB messages through real
// pipes and a real socket: at least 500 MB/s (10^6 bytes a second) each way.

#include <benchmark/benchmark.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport/TempFolder.hpp"
#include "TestSupport/TestSocket.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"
#include "VelvixChromeHost/Shared/NativeFraming.hpp"

extern char** environ;

namespace velvix {
namespace {

constexpr std::size_t kMessageBytes = 1 << 20;
constexpr int kMessagesPerRound = 16;

// A browser's message of about 1 MiB: JSON text without raw line feeds, as browsers write it.
std::string message() {
  std::string text = R"({"browser":"chrome","event":"sync","windows":[)";
  for (int i = 0; text.size() < kMessageBytes - 200; ++i)
    text += R"({"tabId":)" + std::to_string(i) +
            R"(,"title":"Some page title of a usual length","url":"https://www.example.com/p"},)";
  text += "{}]";
  text.resize(kMessageBytes - 1, ' ');
  text += "}";
  return text;
}

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

// Reads and drops `size` bytes; false at an early end.
bool drain(int fd, std::size_t size, std::vector<char>& buffer) {
  while (size > 0) {
    const ssize_t got = ::read(fd, buffer.data(), std::min(buffer.size(), size));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// The relay with pipes on its standard input and output, connected to a listening socket that
// plays the application.
struct RunningRelay {
  RunningRelay() {
    std::signal(SIGPIPE, SIG_IGN);
    const std::string socketPath = hostchannel::socketPath(home.path().string());
    std::filesystem::create_directories(std::filesystem::path(socketPath).parent_path());
    listener = test::TestSocket::listenAt(socketPath);
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const std::string program = std::string(VELVIX_BINARY_DIR) + "/velvix_chrome_host";
    std::vector<std::string> envText{"VELVIX_HOME=" + home.path().string()};
    for (char** e = environ; *e; ++e)
      if (!std::string_view(*e).starts_with("VELVIX_HOME=")) envText.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& text : envText) envp.push_back(text.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toRelay = in[1];
    fromRelay = out[0];
    if (pid > 0) application = listener.acceptOne();
  }
  ~RunningRelay() {
    ::close(toRelay);
    ::close(fromRelay);
    application.close();
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  bool ready() const { return pid > 0 && application.isOpen(); }

  test::TempFolder home;
  test::TestSocket listener;
  test::TestSocket application;
  pid_t pid = -1;
  int toRelay = -1;
  int fromRelay = -1;
};

void BM_RelayBrowserToApp(benchmark::State& state) {
  RunningRelay relay;
  if (!relay.ready()) return state.SkipWithError("the relay did not start");
  const std::string framed = nativeframing::frame(message());
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    std::thread browser([&] {
      for (int i = 0; i < kMessagesPerRound; ++i) writeAll(relay.toRelay, framed.data(), framed.size());
    });
    const bool complete = drain(relay.application.fd(), kMessagesPerRound * (kMessageBytes + 1), buffer);
    browser.join();
    if (!complete) return state.SkipWithError("the relay stopped");
  }
  state.SetBytesProcessed(state.iterations() * kMessagesPerRound * static_cast<std::int64_t>(kMessageBytes));
}
BENCHMARK(BM_RelayBrowserToApp)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RelayAppToBrowser(benchmark::State& state) {
  RunningRelay relay;
  if (!relay.ready()) return state.SkipWithError("the relay did not start");
  const std::string line = message() + "\n";
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    std::thread application([&] {
      for (int i = 0; i < kMessagesPerRound; ++i) writeAll(relay.application.fd(), line.data(), line.size());
    });
    const bool complete =
        drain(relay.fromRelay, kMessagesPerRound * (kMessageBytes + nativeframing::kHeaderBytes), buffer);
    application.join();
    if (!complete) return state.SkipWithError("the relay stopped");
  }
  state.SetBytesProcessed(state.iterations() * kMessagesPerRound * static_cast<std::int64_t>(kMessageBytes));
}
BENCHMARK(BM_RelayAppToBrowser)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velvix
