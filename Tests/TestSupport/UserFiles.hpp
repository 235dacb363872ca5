#pragma once
// Helpers for tests of what the application writes into the user's own files: real files in the
// test's temporary home folder, read back byte for byte.

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <sys/types.h>

namespace velvix::test {

// Creates the parent folders and writes exactly `bytes`.
void writeFile(const std::filesystem::path& path, const std::string& bytes);
// Exactly the file's bytes; nothing when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path);
// The inode: an atomic rewrite changes it, so an unchanged inode means the file was not rewritten.
ino_t inodeOf(const std::filesystem::path& path);
mode_t modeOf(const std::filesystem::path& path);

// A folder in which nothing can be created, removed or renamed while this lives, for root as well
// (the immutable flag); `ok()` is false where the file system cannot make it so.
class LockedFolder {
 public:
  explicit LockedFolder(std::filesystem::path folder);
  ~LockedFolder();
  LockedFolder(const LockedFolder&) = delete;
  LockedFolder& operator=(const LockedFolder&) = delete;
  bool ok() const { return ok_; }

 private:
  std::filesystem::path folder_;
  bool ok_ = false;
  bool immutable_ = false;
};

// A FIFO in a user file's place. Opening it to read waits for a writer; should anything do that,
// the FIFO is opened at the other end after a few seconds, so the test ends, and
// `wasOpenedBlocking()` says it happened.
class TrappedFifo {
 public:
  explicit TrappedFifo(std::filesystem::path path);
  ~TrappedFifo();
  TrappedFifo(const TrappedFifo&) = delete;
  TrappedFifo& operator=(const TrappedFifo&) = delete;
  bool wasOpenedBlocking() const { return released_; }
  bool isStillAFifo() const;

 private:
  std::filesystem::path path_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool ending_ = false;
  std::atomic<bool> released_{false};
  std::thread watcher_;
};

}  // namespace velvix::test
