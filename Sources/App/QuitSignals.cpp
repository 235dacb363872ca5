#include "App/QuitSignals.hpp"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <unistd.h>

#include "Input/SystemSwitcherShortcut.hpp"
#include "Platform/Linux/ThreadSignalStack.hpp"

namespace velvix {
namespace {
constexpr unsigned char kStop = 0;  // no signal has number 0: the watcher's own end
}

QuitSignals::QuitSignals(std::function<void()> requestQuit, double deadline)
    : requestQuit_(std::move(requestQuit)), deadline_(deadline) {
  if (::pipe2(pipe_, O_CLOEXEC) != 0) return;  // without a pipe the signals keep ending the process
  ::fcntl(pipe_[1], F_SETFL, O_NONBLOCK);      // the handler must never block
  watcher_ = std::thread([this] {
    platform::ThreadSignalStack::ensureForThisThread();
    watch();
  });
  SystemSwitcherShortcut::routeQuitSignalsTo(pipe_[1]);
}

QuitSignals::~QuitSignals() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  finishedChanged_.notify_all();
  if (watcher_.joinable()) {
    [[maybe_unused]] auto written = ::write(pipe_[1], &kStop, 1);
    watcher_.join();
  }
  // The write end stays open: a signal arriving now may still write to it.
  if (pipe_[0] >= 0) ::close(pipe_[0]);
}

void QuitSignals::watch() {
  unsigned char signal = kStop;
  ssize_t got;
  do {
    got = ::read(pipe_[0], &signal, 1);
  } while (got < 0 && errno == EINTR);
  if (got != 1 || signal == kStop) return;

  requestQuit_();
  std::unique_lock lock(mutex_);
  const auto span = std::chrono::duration<double>(deadline_);
  if (finishedChanged_.wait_for(lock, span, [this] { return finished_; })) return;
  lock.unlock();
  SystemSwitcherShortcut::giveBackAndReraise(signal);
}

}  // namespace velvix
