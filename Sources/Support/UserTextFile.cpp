#include "Support/UserTextFile.hpp"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/Linux/Files.hpp"
#include "Support/Utf8.hpp"

namespace velvix {
namespace fs = std::filesystem;
namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinks = 40;

}  // namespace

fs::path UserTextFile::followLinks(const fs::path& path) {
  fs::path current = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(current, error)) || error) return current;
    const fs::path next = fs::read_symlink(current, error);
    if (error) return current;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return current;
}

UserTextFile UserTextFile::read(const fs::path& path) {
  UserTextFile file;
  file.target_ = followLinks(path);
  const int fd = ::open(file.target_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return file;  // missing: the only case that counts as empty
    file.state_ = State::unusable;
    file.problem_ = files::errnoText("reading " + file.target_.string());
    return file;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    file.state_ = State::unusable;
    file.problem_ = file.target_.string() + " is not a regular file";
    ::close(fd);
    return file;
  }
  std::string bytes;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      file.state_ = State::unusable;
      file.problem_ = files::errnoText("reading " + file.target_.string());
      ::close(fd);
      return file;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (!utf8::isValid(bytes)) {
    file.state_ = State::unusable;
    file.problem_ = file.target_.string() + " is not UTF-8 text";
    return file;
  }
  file.state_ = State::text;
  file.text_ = std::move(bytes);
  return file;
}

std::optional<std::string> UserTextFile::write(std::string_view text) const {
  mode_t mode = kNewFileMode;
  struct stat info {};
  if (::stat(target_.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) return target_.string() + " is not a regular file";
    mode = info.st_mode & 07777;
  } else if (errno != ENOENT) {
    return files::errnoText("checking " + target_.string());
  }
  return files::writeAtomically(target_, text, mode);
}

}  // namespace velvix
