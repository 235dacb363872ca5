#include "Platform/Linux/UserTextFile.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <optional>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "Platform/Linux/Files.hpp"
#include "Platform/Utf8.hpp"

namespace velvix {
namespace fs = std::filesystem;
namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinks = 40;
constexpr const char* kChangedMeanwhile = "changed while it was being rewritten";

// What `fd` holds from `offset` to its end.
std::string readFrom(int fd, std::size_t offset) {
  std::string bytes;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(offset + bytes.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

// Waits, boundedly, until no other program holds the file open for writing: one that opened it
// just before it was replaced may still be about to append to it. The kernel grants a read lease
// only on a file nobody has open for writing; where leases are not available, until the file has
// stopped growing for a moment.
void waitForWriters(int fd) {
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  // Should a program open the file for writing in the instant the lease is held, the kernel tells
  // the holder with a signal, by default one that ends the process: this one is ignored by default.
  ::fcntl(fd, F_SETSIG, SIGURG);
  for (;;) {
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
      ::fcntl(fd, F_SETLEASE, F_UNLCK);
      return;
    }
    if (errno != EAGAIN) break;
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(1ms);
  }
  off_t size = -1;
  for (int i = 0; i < 20; ++i) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size == size) return;
    size = info.st_size;
    std::this_thread::sleep_for(5ms);
  }
}

// Adds `bytes` at the end of the file at `path` (made with `mode` when it is not there) in one write,
// as any program appending a line does.
std::optional<std::string> appendTo(const fs::path& path, const std::string& bytes, mode_t mode) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
  if (fd < 0) return files::errnoText("opening " + path.string() + " to append");
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) {
      auto error = files::errnoText("appending to " + path.string());
      ::close(fd);
      return error;
    }
    done += static_cast<std::size_t>(wrote);
  }
  ::close(fd);
  return std::nullopt;
}

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
  using Status = files::RegularFileRead::Status;
  UserTextFile file;
  file.target_ = followLinks(path);
  auto read = files::readRegularFile(file.target_);
  // A line another program is appending can be caught half written (a write that spans two pages
  // lands a page at a time): a text that stops inside a line is read again once nobody writes it.
  for (int again = 0;
       again < 5 && read.status == Status::read && !read.bytes.empty() && !read.bytes.ends_with('\n');
       ++again) {
    const int fd = ::open(file.target_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) break;
    waitForWriters(fd);
    ::close(fd);
    auto next = files::readRegularFile(file.target_);
    const bool same = next.status == read.status && next.bytes == read.bytes;
    read = std::move(next);
    if (same) break;
  }
  file.info_ = read.info;
  if (read.status == Status::missing) return file;  // the only case that counts as empty
  if (read.status != Status::read) {
    file.state_ = State::unusable;
    file.problem_ = std::move(read.problem);
  } else if (!utf8::isValid(read.bytes)) {
    file.state_ = State::unusable;
    file.problem_ = "is not UTF-8 text";
  } else {
    file.state_ = State::text;
    file.text_ = std::move(read.bytes);
  }
  return file;
}

bool UserTextFile::onlyAppendedToSinceRead() const {
  const auto now = files::readRegularFile(target_);
  if (state_ == State::missing) return now.status == files::RegularFileRead::Status::missing;
  return now.status == files::RegularFileRead::Status::read && now.info.st_dev == info_.st_dev &&
         now.info.st_ino == info_.st_ino && now.bytes.starts_with(text_);
}

bool UserTextFile::isReadOnly() const {
  // The mode bits say what the user meant even to root, whom access() lets write anything.
  return state_ == State::text && ((info_.st_mode & S_IWUSR) == 0 || ::access(target_.c_str(), W_OK) != 0);
}

std::optional<std::string> UserTextFile::replace(const Change& wanted, mode_t mode,
                                                 bool& changedMeanwhile) const {
  const bool removing = wanted.kind == Change::Kind::remove;
  const fs::path temporary = files::temporaryPath(target_, ::getpid());
  auto meanwhile = [&] {
    changedMeanwhile = true;
    return std::optional<std::string>(kChangedMeanwhile);
  };
  auto failed = [&](const std::string& what) {
    auto error = files::errnoText(what);
    if (!removing) ::unlink(temporary.c_str());
    return std::optional<std::string>(error);
  };
  if (!removing)
    if (auto error = files::writeNewFile(temporary, wanted.text, mode)) return error;
  if (!onlyAppendedToSinceRead()) {
    if (!removing) ::unlink(temporary.c_str());
    return meanwhile();
  }
  if (state_ == State::missing) {
    // A file that appeared meanwhile is never replaced.
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0)
      return std::nullopt;
    if (errno == EEXIST) {
      ::unlink(temporary.c_str());
      return meanwhile();
    }
    if ((errno != EINVAL && errno != ENOSYS) || ::rename(temporary.c_str(), target_.c_str()) != 0)
      return failed("renaming " + temporary.string() + " to " + target_.string());
    return std::nullopt;
  }

  // The new text and the old file trade names in one step (or the old file alone moves aside), so
  // what was replaced can still be looked at: anything appended to it since it was read is carried
  // over, and a file changed any other way is put back and read again.
  const int swapped =
      removing ? ::renameat2(AT_FDCWD, target_.c_str(), AT_FDCWD, temporary.c_str(), RENAME_NOREPLACE)
               : ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE);
  if (swapped != 0) {
    if (errno == ENOENT) {
      if (!removing) ::unlink(temporary.c_str());
      return meanwhile();
    }
    if (errno != EINVAL && errno != ENOSYS) return failed("replacing " + target_.string());
    // A file system that cannot trade names: only a file exactly as read is replaced.
    if (files::readAll(target_) != std::optional<std::string>(text_)) {
      if (!removing) ::unlink(temporary.c_str());
      return meanwhile();
    }
    if (removing ? ::unlink(target_.c_str()) != 0 && errno != ENOENT
                 : ::rename(temporary.c_str(), target_.c_str()) != 0)
      return failed("replacing " + target_.string());
    return std::nullopt;
  }
  const int fd = ::open(temporary.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat now {};
  std::string replaced;
  if (fd >= 0 && ::fstat(fd, &now) == 0) replaced = readFrom(fd, 0);
  const bool onlyAppended = fd >= 0 && now.st_dev == info_.st_dev && now.st_ino == info_.st_ino &&
                            replaced.size() >= text_.size() && replaced.compare(0, text_.size(), text_) == 0;
  if (!onlyAppended) {
    if (fd >= 0) ::close(fd);
    const int back =
        removing ? ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE)
                 : ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE);
    if (back == 0) {
      if (!removing) ::unlink(temporary.c_str());
      return meanwhile();
    }
    // A new file took the removed one's place meanwhile: what the removed one held goes after it.
    if (auto error = appendTo(target_, replaced, mode)) return error;
    ::unlink(temporary.c_str());
    return meanwhile();
  }
  waitForWriters(fd);
  const std::string appended = readFrom(fd, text_.size());
  ::close(fd);
  if (!appended.empty())
    if (auto error = appendTo(target_, appended, mode)) return error;
  ::unlink(temporary.c_str());
  return std::nullopt;
}

UserTextFile::Outcome UserTextFile::edit(const fs::path& path,
                                         const std::function<Change(const UserTextFile&)>& change,
                                         mode_t newFileMode) {
  using Kind = Outcome::Kind;
  // What an earlier write that was killed left beside the file goes first, written or not.
  files::removeStaleTemporaries(followLinks(path));
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const UserTextFile file = read(path);
    auto outcome = [&](Kind kind, std::string problem = {}) {
      return Outcome{kind, std::move(problem), file.target_};
    };
    if (file.state_ == State::unusable) return outcome(Kind::unreadable, file.problem_);
    const Change wanted = change(file);
    if (wanted.kind == Change::Kind::keep)
      return wanted.problem.empty() ? outcome(Kind::unchanged) : outcome(Kind::leftAlone, wanted.problem);
    if (wanted.kind == Change::Kind::write && file.state_ == State::text && wanted.text == file.text_)
      return outcome(Kind::unchanged);
    if (wanted.kind == Change::Kind::remove && file.state_ == State::missing) return outcome(Kind::unchanged);
    if (file.isReadOnly()) return outcome(Kind::leftAlone, kReadOnly);

    // Rewriting a file with other names would leave those names on the old text.
    if (file.state_ == State::text && file.info_.st_nlink > 1)
      return outcome(Kind::leftAlone, "has " + std::to_string(file.info_.st_nlink) +
                                          " hard links, which a rewrite would split apart");

    bool changedMeanwhile = false;
    const mode_t mode = file.state_ == State::text ? (file.info_.st_mode & 07777) : newFileMode;
    const auto error = file.replace(wanted, mode, changedMeanwhile);
    if (!error) {
      if (wanted.kind == Change::Kind::remove) return outcome(Kind::removed);
      return outcome(file.state_ == State::missing ? Kind::created : Kind::written);
    }
    if (!changedMeanwhile) return outcome(Kind::failed, *error);
  }
  return {Kind::leftAlone,
          "kept changing while Velvix was writing it (" + std::to_string(kAttempts) + " tries)",
          followLinks(path)};
}

}  // namespace velvix
