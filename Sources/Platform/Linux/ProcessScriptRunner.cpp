#include "Platform/Linux/ProcessScriptRunner.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <optional>
#include <vector>
#include "Platform/Linux/ThreadSignalStack.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velvix::platform {

using Clock = std::chrono::steady_clock;

struct ProcessScriptRunner::Run {
  std::string script;
  Completion completion;
  pid_t pid = -1;
  int out = -1;
  int err = -1;
  ScriptOutcome outcome;
  std::optional<int> waitStatus;
  Clock::time_point termAt, killAt, giveUpAt;
  bool termSent = false;
  bool killSent = false;
  bool completed = false;
};

namespace {

Clock::duration seconds(double s) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

void closeFD(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

ProcessScriptRunner::ProcessScriptRunner(Options options) : options_(std::move(options)) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  worker_ = std::thread([this] {
    ThreadSignalStack::ensureForThisThread();
    work();
  });
}

ProcessScriptRunner::~ProcessScriptRunner() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake();
  worker_.join();
  closeFD(wake_[0]);
  closeFD(wake_[1]);
}

void ProcessScriptRunner::wake() {
  // A full wake pipe already holds a wake-up; nothing more is needed.
  if (wake_[1] >= 0 && ::write(wake_[1], "x", 1) < 0) return;
}

void ProcessScriptRunner::run(const std::string& script, Completion completion) {
  {
    std::lock_guard lock(mutex_);
    requests_.emplace_back(script, std::move(completion));
  }
  wake();
}

void ProcessScriptRunner::start(Run& run) {
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    for (int* fd : {&out[0], &out[1], &err[0], &err[1]}) closeFD(*fd);
    run.outcome.ending = ScriptOutcome::Ending::notLaunched;
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A group of its own, so the deadline reaches what the interpreter started too; signals as a
  // fresh program has them (this process ignores SIGPIPE, which a child would inherit).
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string interpreter = options_.interpreter, flag = "-e";
  char* argv[] = {interpreter.data(), flag.data(), run.script.data(), nullptr};
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, interpreter.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  closeFD(out[1]);
  closeFD(err[1]);
  if (error != 0) {
    closeFD(out[0]);
    closeFD(err[0]);
    run.outcome.ending = ScriptOutcome::Ending::notLaunched;
    return;
  }
  ++childrenAlive_;
  run.pid = pid;
  run.out = out[0];
  run.err = err[0];
  for (int fd : {run.out, run.err}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  const auto now = Clock::now();
  run.termAt = now + seconds(options_.timeLimit);
  run.killAt = run.termAt + seconds(options_.killGrace);
  run.giveUpAt = run.killAt + seconds(options_.killGrace);
}

// Reads what is there; past the limit the bytes are read and dropped, so the child never blocks
// on a full pipe, and the output is marked cut.
void ProcessScriptRunner::drain(Run& run, int& fd, std::string& into, std::size_t limit) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      const std::size_t room = into.size() < limit ? limit - into.size() : 0;
      into.append(buffer, std::min<std::size_t>(room, static_cast<std::size_t>(n)));
      if (static_cast<std::size_t>(n) > room && &into == &run.outcome.output) run.outcome.outputCut = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    closeFD(fd);  // end of file, or an error that ends reading as well
    return;
  }
}

void ProcessScriptRunner::complete(Run& run) {
  if (run.completed) return;
  run.completed = true;
  closeFD(run.out);
  closeFD(run.err);
  if (run.outcome.ending != ScriptOutcome::Ending::notLaunched) {
    if (run.waitStatus && WIFSIGNALED(*run.waitStatus)) {
      run.outcome.ending = ScriptOutcome::Ending::signaled;
      run.outcome.status = WTERMSIG(*run.waitStatus);
    } else if (run.waitStatus) {
      run.outcome.status = WEXITSTATUS(*run.waitStatus);
    } else {
      // Given up on before it could be reaped: it is being killed.
      run.outcome.ending = ScriptOutcome::Ending::signaled;
      run.outcome.status = run.killSent ? SIGKILL : SIGTERM;
    }
  }
  auto completion = std::move(run.completion);
  if (completion) completion(std::move(run.outcome));
}

bool ProcessScriptRunner::advance(Run& run) {
  if (run.pid < 0) {  // never started
    complete(run);
    return true;
  }
  if (!run.waitStatus) {
    int status = 0;
    pid_t reaped = ::waitpid(run.pid, &status, WNOHANG);
    // ECHILD: something else reaped it (SIGCHLD ignored); its status is lost, so the run counts
    // by its output alone.
    if (reaped == run.pid || (reaped < 0 && errno == ECHILD)) {
      run.waitStatus = reaped == run.pid ? status : 0;
      --childrenAlive_;
    }
  }
  const auto now = Clock::now();
  const bool pipesOpen = run.out >= 0 || run.err >= 0;
  const bool stillGoing = !run.waitStatus || pipesOpen;
  if (stillGoing && !run.termSent && now >= run.termAt) {
    run.termSent = true;
    ::kill(-run.pid, SIGTERM);
  }
  if (stillGoing && !run.killSent && now >= run.killAt) {
    run.killSent = true;
    ::kill(-run.pid, SIGKILL);
  }
  if (!run.completed && run.waitStatus && !pipesOpen) complete(run);
  if (!run.completed && now >= run.giveUpAt) {
    if (pipesOpen) run.outcome.outputCut = true;
    complete(run);
  }
  return run.completed && run.waitStatus.has_value();
}

void ProcessScriptRunner::work() {
  for (;;) {
    bool stopping;
    {
      std::lock_guard lock(mutex_);
      stopping = stopping_;
      while (!requests_.empty()) {
        auto& run = runs_.emplace_back();
        run.script = std::move(requests_.front().first);
        run.completion = std::move(requests_.front().second);
        requests_.pop_front();
        if (stopping) {
          run.outcome.ending = ScriptOutcome::Ending::notLaunched;
        } else {
          start(run);
        }
      }
    }
    if (stopping) break;

    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
    auto next = Clock::now() + std::chrono::seconds(60);
    bool reaping = false;
    for (Run& run : runs_) {
      for (int fd : {run.out, run.err})
        if (fd >= 0) fds.push_back({fd, POLLIN, 0});
      if (run.pid < 0) next = Clock::now();
      if (!run.waitStatus && run.out < 0 && run.err < 0)
        reaping = true;  // output closed, child not reaped yet
      for (auto [sent, at] :
           {std::pair{run.termSent, run.termAt}, {run.killSent, run.killAt}, {run.completed, run.giveUpAt}})
        if (!sent) next = std::min(next, at);
    }
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count() + 1;
    if (reaping) wait = std::min<long long>(wait, 5);
    ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(0, wait)));

    char sink[64];
    while (::read(wake_[0], sink, sizeof sink) > 0) {
    }
    for (Run& run : runs_) {
      if (run.out >= 0) drain(run, run.out, run.outcome.output, options_.maxOutput);
      if (run.err >= 0) drain(run, run.err, run.outcome.errorOutput, options_.maxError);
    }
    runs_.remove_if([this](Run& run) { return advance(run); });
  }

  // Shutting down: nothing may outlive the runner.
  for (Run& run : runs_) {
    if (run.pid >= 0 && !run.waitStatus) {
      ::kill(-run.pid, SIGKILL);
      run.killSent = true;
      int status = 0;
      if (::waitpid(run.pid, &status, 0) == run.pid) run.waitStatus = status;
      --childrenAlive_;
    }
    if (run.pid >= 0 && (run.out >= 0 || run.err >= 0)) run.outcome.outputCut = true;
    complete(run);
  }
  runs_.clear();
}

}  // namespace velvix::platform
