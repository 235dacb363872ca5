#include "Platform/Linux/Files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velvix::files {

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

std::optional<std::string> writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                                           mode_t mode) {
  std::random_device random;
  const std::string temporary =
      (path.parent_path() / ("." + path.filename().string() + ".tmp-" + std::to_string(random()))).string();
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return errnoText("creating " + temporary);
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
      return fail("writing " + temporary);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  // The creation mode is filtered by the umask; set the exact mode asked for.
  if (::fchmod(fd, mode) != 0) return fail("setting the mode of " + temporary);
  if (::fsync(fd) != 0) return fail("flushing " + temporary);
  if (::close(fd) != 0) {
    std::string error = errnoText("closing " + temporary);
    ::unlink(temporary.c_str());
    return error;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    std::string error = errnoText("renaming " + temporary + " to " + path.string());
    ::unlink(temporary.c_str());
    return error;
  }
  return std::nullopt;
}

std::optional<std::string> readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return out.str();
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
