#include "TestSupport/UserFiles.hpp"

#include <fstream>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/Linux/Files.hpp"

namespace velvix::test {
namespace {

bool setImmutable(const std::filesystem::path& folder, bool on) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

}  // namespace

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
  return files::readAll(path);
}

ino_t inodeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

mode_t modeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

LockedFolder::LockedFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
  ::chmod(folder_.c_str(), 0555);
  if (::geteuid() != 0) {
    ok_ = true;
    return;
  }
  immutable_ = setImmutable(folder_, true);
  ok_ = immutable_;
}

LockedFolder::~LockedFolder() {
  if (immutable_) setImmutable(folder_, false);
  ::chmod(folder_.c_str(), 0755);
}

TrappedFifo::TrappedFifo(std::filesystem::path path) : path_(std::move(path)) {
  std::filesystem::create_directories(path_.parent_path());
  ::mkfifo(path_.c_str(), 0644);
  watcher_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    if (done_.wait_for(lock, std::chrono::seconds(3), [this] { return ending_; })) return;
    // A writer's non-blocking open succeeds only while a reader has the FIFO open: the one stuck.
    while (!done_.wait_for(lock, std::chrono::milliseconds(50), [this] { return ending_; })) {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) continue;
      released_ = true;
      ::close(fd);
    }
  });
}

TrappedFifo::~TrappedFifo() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  done_.notify_all();
  watcher_.join();
}

bool TrappedFifo::isStillAFifo() const {
  struct stat info {};
  return ::lstat(path_.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

}  // namespace velvix::test
