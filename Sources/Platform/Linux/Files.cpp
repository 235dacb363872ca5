#include "Platform/Linux/Files.hpp"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velvix::files {
namespace {

constexpr std::string_view kTemporaryTag = ".velvix-tmp-";

std::string temporaryPrefix(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  return (name.starts_with('.') ? "" : ".") + name + std::string(kTemporaryTag);
}

std::string notRegularText(mode_t mode) {
  const char* kind = S_ISFIFO(mode)                   ? "a FIFO"
                     : S_ISDIR(mode)                  ? "a folder"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                     : S_ISSOCK(mode)                 ? "a socket"
                                                      : "something else";
  return std::string("is ") + kind + ", not a regular file";
}

std::string cannotText(std::string_view what) {
  return "cannot be " + std::string(what) + " (" + std::strerror(errno) + ")";
}

// When the process started, in seconds since the epoch, and whether it is a zombie (ended, not yet
// reaped); nothing when it cannot be told.
struct ProcessStart {
  double startedAt = 0;
  bool zombie = false;
};
std::optional<ProcessStart> processStart(pid_t pid) {
  const auto stat = readAll("/proc/" + std::to_string(pid) + "/stat");
  const auto bootStat = readAll("/proc/stat");
  if (!stat || !bootStat) return std::nullopt;
  // The command name may hold spaces and parentheses: the fields start after its last ')'.
  const std::size_t close = stat->rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat->substr(close + 1));
  std::string state;
  fields >> state;
  std::string field;
  // After the state come 18 fields before the start time (the 22nd field of the line).
  for (int i = 0; i < 18 && fields >> field;) ++i;
  unsigned long long ticks = 0;
  if (!(fields >> ticks)) return std::nullopt;
  const std::size_t at = bootStat->find("\nbtime ");
  if (at == std::string::npos) return std::nullopt;
  const double bootTime = std::strtod(bootStat->c_str() + at + 7, nullptr);
  const long perSecond = ::sysconf(_SC_CLK_TCK);
  if (perSecond <= 0) return std::nullopt;
  return ProcessStart{bootTime + static_cast<double>(ticks) / static_cast<double>(perSecond), state == "Z"};
}

// Whether the writer of a temporary whose status is `info` has gone without renaming it.
bool writerIsGone(pid_t writer, const struct stat& info) {
  if (::kill(writer, 0) != 0) return errno == ESRCH;
  const auto start = processStart(writer);
  if (!start) return false;
  if (start->zombie) return true;
  // A live process of that number that started well after the temporary last changed is not
  // its writer: the number was given out again.
  constexpr double kSlack = 2.0;
  return start->startedAt > static_cast<double>(info.st_ctim.tv_sec) + kSlack;
}

}  // namespace

std::string errnoText(std::string_view what) {
  return std::string(what) + " failed: " + std::strerror(errno);
}

std::optional<std::string> createFolders(const std::filesystem::path& folder, mode_t mode) {
  if (folder.empty()) return std::string("no folder given");
  std::filesystem::path current;
  for (const auto& part : folder) {
    current /= part;
    if (::mkdir(current.c_str(), mode) != 0 && errno != EEXIST)
      return errnoText("creating " + current.string());
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return errnoText("checking " + folder.string());
  if (!S_ISDIR(info.st_mode)) return folder.string() + " is not a folder";
  return std::nullopt;
}

std::filesystem::path temporaryPath(const std::filesystem::path& path, pid_t writer) {
  std::random_device random;
  char token[9] = {};
  std::to_chars(token, token + 8, random(), 16);
  return path.parent_path() / (temporaryPrefix(path) + std::to_string(writer) + "-" + token);
}

void removeStaleTemporaries(const std::filesystem::path& path) {
  const std::string prefix = temporaryPrefix(path);
  const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(prefix)) continue;
    pid_t writer = 0;
    const char* digits = name.data() + prefix.size();
    const auto [rest, parsed] = std::from_chars(digits, name.data() + name.size(), writer);
    if (parsed != std::errc() || rest == digits || *rest != '-' || writer <= 0) continue;
    // Only a writer that is gone leaves a temporary for good; a running one may still rename it.
    struct stat info {};
    if (::lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (!writerIsGone(writer, info)) continue;
    ::unlink(it->path().c_str());
  }
}

std::optional<std::string> writeNewFile(const std::filesystem::path& temporary, std::string_view bytes,
                                        mode_t mode) {
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return errnoText("creating " + temporary.string());
  auto fail = [&](std::string_view what) {
    std::string error = errnoText(what);
    ::close(fd);
    ::unlink(temporary.c_str());
    return std::optional<std::string>(error);
  };
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return fail("writing " + temporary.string());
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  // The creation mode is filtered by the umask; set the exact mode asked for.
  if (::fchmod(fd, mode) != 0) return fail("setting the mode of " + temporary.string());
  if (::fsync(fd) != 0) return fail("flushing " + temporary.string());
  if (::close(fd) != 0) {
    std::string error = errnoText("closing " + temporary.string());
    ::unlink(temporary.c_str());
    return error;
  }
  return std::nullopt;
}

std::optional<std::string> writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                                           mode_t mode,
                                           const std::function<std::optional<std::string>()>& beforeRename) {
  removeStaleTemporaries(path);
  const std::string temporary = temporaryPath(path, ::getpid()).string();
  if (auto error = writeNewFile(temporary, bytes, mode)) return error;
  if (beforeRename) {
    if (auto stop = beforeRename()) {
      ::unlink(temporary.c_str());
      return stop;
    }
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    std::string error = errnoText("renaming " + temporary + " to " + path.string());
    ::unlink(temporary.c_str());
    return error;
  }
  return std::nullopt;
}

RegularFileRead readRegularFile(const std::filesystem::path& path) {
  using Status = RegularFileRead::Status;
  RegularFileRead result;
  auto fail = [&](Status status, std::string problem) {
    result.status = status;
    result.problem = std::move(problem);
    return result;
  };
  // Looked at before it is opened: opening a FIFO waits for a writer, and opening a device may do
  // things of its own.
  // A file where a folder of the path should be leaves nothing there either.
  auto gone = [] { return errno == ENOENT || errno == ENOTDIR; };
  if (::stat(path.c_str(), &result.info) != 0)
    return gone() ? fail(Status::missing, "") : fail(Status::failed, cannotText("checked"));
  if (!S_ISREG(result.info.st_mode)) return fail(Status::notRegular, notRegularText(result.info.st_mode));
  // Non-blocking all the same, for whatever takes the file's place between the look and the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return gone() ? fail(Status::missing, "") : fail(Status::failed, cannotText("read"));
  if (::fstat(fd, &result.info) != 0 || !S_ISREG(result.info.st_mode)) {
    const std::string problem =
        S_ISREG(result.info.st_mode) ? cannotText("checked") : notRegularText(result.info.st_mode);
    ::close(fd);
    return fail(S_ISREG(result.info.st_mode) ? Status::failed : Status::notRegular, problem);
  }
  result.bytes.reserve(static_cast<std::size_t>(result.info.st_size));
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      std::string problem = cannotText("read");
      ::close(fd);
      result.bytes.clear();
      return fail(Status::failed, std::move(problem));
    }
    if (got == 0) break;
    result.bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  result.status = Status::read;
  return result;
}

std::optional<std::string> readAll(const std::filesystem::path& path) {
  auto file = readRegularFile(path);
  if (file.status != RegularFileRead::Status::read) return std::nullopt;
  return std::move(file.bytes);
}

std::optional<std::string> swapIn(const std::filesystem::path& incoming,
                                  const std::filesystem::path& destination,
                                  const std::filesystem::path& retiring) {
  if (::renameat2(AT_FDCWD, incoming.c_str(), AT_FDCWD, destination.c_str(), RENAME_EXCHANGE) == 0)
    return std::nullopt;
  if (errno != EINVAL && errno != ENOSYS) return errnoText("swapping in " + destination.string());
  std::error_code error;
  std::filesystem::rename(destination, retiring, error);
  if (error) return "moving " + destination.string() + " aside failed: " + error.message();
  std::filesystem::rename(incoming, destination, error);
  if (!error) return std::nullopt;
  std::error_code ignored;
  std::filesystem::rename(retiring, destination, ignored);
  return "renaming " + incoming.string() + " failed: " + error.message();
}

}  // namespace velvix::files
