#include "Platform/Simulated/SimSymbolicHotKeys.hpp"

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace velvix::sim {
namespace {

// The path the signal handler writes to: fixed storage, set outside signal context.
char gStatePath[4096] = {};

// Async-signal-safe: open, write and close only.
void enableBothFromSignal() {
  if (gStatePath[0] == '\0') return;
  int fd = ::open(gStatePath, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  const char state[2] = {'1', '1'};
  [[maybe_unused]] auto written = ::pwrite(fd, state, sizeof state, 0);
  ::close(fd);
}

}  // namespace

bool SimSymbolicHotKeys::isEnabled(int hotKey) const {
  std::lock_guard lock(mutex_);
  if (!path_.empty()) {
    auto state = readStateFile(path_);
    if (auto it = state.find(hotKey); it != state.end()) return it->second;
  }
  auto it = enabled_.find(hotKey);
  return it == enabled_.end() || it->second;
}

int SimSymbolicHotKeys::setEnabled(int hotKey, bool enabled) {
  if (failWith != 0) return failWith;
  std::lock_guard lock(mutex_);
  if (!path_.empty()) enabled_ = readStateFile(path_);  // someone else may have changed it
  enabled_[hotKey] = enabled;
  writeFile();
  return 0;
}

void (*SimSymbolicHotKeys::signalSafeEnabler() const)() {
  return &enableBothFromSignal;
}

void SimSymbolicHotKeys::useStateFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  path_ = path;
  std::strncpy(gStatePath, path.c_str(), sizeof gStatePath - 1);
  // The state belongs to the system, not to this process: a file already there (another copy
  // running, or one that left the keys off) is the state, and only a missing one is created.
  if (::access(path.c_str(), F_OK) == 0) {
    enabled_ = readStateFile(path);
    return;
  }
  writeFile();
}

void SimSymbolicHotKeys::writeFile() const {
  if (path_.empty()) return;
  const char state[2] = {enabled_.at(1) ? '1' : '0', enabled_.at(2) ? '1' : '0'};
  int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  [[maybe_unused]] auto written = ::pwrite(fd, state, sizeof state, 0);
  ::close(fd);
}

std::map<int, bool> SimSymbolicHotKeys::readStateFile(const std::string& path) {
  std::map<int, bool> state{{1, true}, {2, true}};
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return state;
  char bytes[2] = {'1', '1'};
  if (::pread(fd, bytes, sizeof bytes, 0) == 2) state = {{1, bytes[0] == '1'}, {2, bytes[1] == '1'}};
  ::close(fd);
  return state;
}

}  // namespace velvix::sim
