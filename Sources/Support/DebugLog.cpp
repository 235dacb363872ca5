#include "Support/DebugLog.hpp"

#include <cerrno>
#include <cmath>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/Linux/Files.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/UserDefaults.hpp"
#include "Support/ProcessLog.hpp"

namespace velvix {

struct DebugLog::LogFile {
  std::filesystem::path url;
  std::filesystem::path previousURL;
  std::uint64_t maxBytes;
  // Touched only on the queue. Starts due, so a file's first write in a run tests its size too:
  // short runs would otherwise never roll a file over.
  int sinceSizeCheck = kSizeCheckInterval - 1;

  LogFile(const std::filesystem::path& folder, const std::string& name, std::uint64_t max)
      : url(folder / name), previousURL(folder / (name + ".1")), maxBytes(max) {}

  // Set once the path turned out to be no regular file: the run logs without it.
  bool refused = false;

  void append(const std::string& bytes) {
    if (refused) return;
    // Created 0600 in the same call that creates it, so the file never exists with wider modes.
    // Never waiting at the open: a FIFO nobody reads (or a device) would hold every line, and the
    // quit that drains them, for good.
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(url.c_str(), kFlags, 0600);
    if (fd < 0 && errno == ENOENT) {
      files::createFolders(url.parent_path(), 0700);
      fd = ::open(url.c_str(), kFlags, 0600);
    }
    struct stat info {};
    const bool regular = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!regular && (fd >= 0 || errno == ENXIO || errno == EISDIR)) {
      if (fd >= 0) ::close(fd);
      refused = true;
      processLog(url.string() + " is not a regular file; logging goes on without it");
      return;
    }
    if (fd < 0) return;              // the logs never report their own failures
    ::fcntl(fd, F_SETFL, O_APPEND);  // a regular file's writes complete
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      ssize_t n = ::write(fd, data, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      data += n;
      left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
  }

  void rollOverIfNeeded() {
    struct stat info {};
    if (::stat(url.c_str(), &info) != 0) return;
    if (static_cast<std::uint64_t>(info.st_size) <= maxBytes) return;
    ::unlink(previousURL.c_str());
    ::rename(url.c_str(), previousURL.c_str());
  }
};

DebugLog::DebugLog(const std::filesystem::path& supportFolder, const platform::UserDefaults& defaults,
                   const platform::MainLoop& clock)
    : defaults_(defaults),
      clock_(clock),
      debugFile_(std::make_unique<LogFile>(supportFolder, "debug.log", kDebugMaxBytes)),
      healthFile_(std::make_unique<LogFile>(supportFolder, "health.log", kHealthMaxBytes)) {}

DebugLog::~DebugLog() {
  // A write that hangs (a home folder on a network that went away) must not hold the process's
  // end: past the deadline, what is still queued is given up, with the thread that holds it.
  if (!queue_->drainFor(kDrainDeadline)) {
    [[maybe_unused]] auto* stuck = queue_.release();
    [[maybe_unused]] auto* debug = debugFile_.release();
    [[maybe_unused]] auto* health = healthFile_.release();
  }
}

bool DebugLog::diagnosticsOn() const {
  return defaults_.boolean("debugLogging");
}

void DebugLog::log(std::string_view message) {
  if (!diagnosticsOn()) return;
  write(message, {debugFile_.get()});
}

void DebugLog::health(std::string_view message) {
  if (diagnosticsOn()) {
    write(message, {healthFile_.get(), debugFile_.get()});
  } else {
    write(message, {healthFile_.get()});
  }
}

bool DebugLog::flush() {
  return queue_->drainFor(kDrainDeadline);
}

std::filesystem::path DebugLog::debugPath() const {
  return debugFile_->url;
}
std::filesystem::path DebugLog::healthPath() const {
  return healthFile_->url;
}

void DebugLog::write(std::string_view message, std::vector<LogFile*> files) {
  const double stamp = clock_.now();  // taken on the caller's thread, before queuing
  queue_->async([stamp, line = std::string(message), files = std::move(files)] {
    const std::string bytes = timestamp(stamp) + " " + line + "\n";
    for (LogFile* file : files) {
      file->append(bytes);
      if (++file->sinceSizeCheck >= kSizeCheckInterval) {
        file->sinceSizeCheck = 0;
        file->rollOverIfNeeded();
      }
    }
  });
}

std::string DebugLog::timestamp(double secondsSinceEpoch) {
  std::time_t seconds = static_cast<std::time_t>(std::floor(secondsSinceEpoch));
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace velvix
