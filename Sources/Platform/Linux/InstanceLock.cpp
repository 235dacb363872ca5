#include "Platform/Linux/InstanceLock.hpp"

#include <cerrno>
#include <charconv>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "Platform/Linux/Files.hpp"

namespace velvix::platform {

InstanceLock::InstanceLock(std::filesystem::path file) : file_(std::move(file)) {}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock; the file stays for the next start
}

bool InstanceLock::open() {
  if (fd_ >= 0) return true;
  files::createFolders(file_.parent_path(), 0700);
  fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  return fd_ >= 0;
}

bool InstanceLock::tryAcquire() {
  if (held_) return true;
  if (!open()) return false;
  int result;
  do {
    result = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) return false;
  held_ = true;
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0) {
    [[maybe_unused]] auto written = ::pwrite(fd_, pid.data(), pid.size(), 0);
  }
  return true;
}

std::optional<pid_t> InstanceLock::otherHolder() const {
  if (held_) return std::nullopt;
  // A separate descriptor: testing the lock through our own would take it.
  const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<pid_t> holder;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    char text[32] = {};
    const ssize_t got = ::pread(fd, text, sizeof(text) - 1, 0);
    pid_t pid = 0;
    if (got > 0 && std::from_chars(text, text + got, pid).ec == std::errc() && pid > 0 && pid != ::getpid())
      holder = pid;
  }
  ::close(fd);  // also drops a shared lock taken above
  return holder;
}

}  // namespace velvix::platform
