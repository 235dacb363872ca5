#pragma once
// One running copy per home folder: a lock file in the support folder that the running copy
// holds with flock for its whole life and that holds its process id. A lock dies with its
// process, so a file left behind by a crash never blocks a start; a new copy that finds the lock
// held knows which process to ask to quit.

#include <filesystem>
#include <optional>

#include <sys/types.h>

namespace velvix::platform {

class InstanceLock {
 public:
  static constexpr const char* kFileName = "instance.lock";

  explicit InstanceLock(std::filesystem::path file);
  ~InstanceLock();  // releases the lock
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock when no other process holds it and writes this process's id into the file.
  // True when this process holds it (now or already).
  bool tryAcquire();
  bool isHeld() const { return held_; }
  // The process named in the file while another process holds the lock; nothing when the lock is
  // free, held by this process, or the file names no process.
  std::optional<pid_t> otherHolder() const;
  const std::filesystem::path& file() const { return file_; }

 private:
  bool open();

  std::filesystem::path file_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace velvix::platform
