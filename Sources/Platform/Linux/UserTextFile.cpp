#include "Platform/Linux/UserTextFile.hpp"

#include <cerrno>
#include <optional>
#include <system_error>

#include <unistd.h>

#include "Platform/Linux/Files.hpp"
#include "Platform/Utf8.hpp"

namespace velvix {
namespace fs = std::filesystem;
namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinks = 40;
constexpr const char* kChangedMeanwhile = "changed while it was being rewritten";

bool sameStatus(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
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

bool UserTextFile::unchangedSinceRead() const {
  const auto now = files::readRegularFile(target_);
  if (state_ == State::missing) return now.status == files::RegularFileRead::Status::missing;
  return now.status == files::RegularFileRead::Status::read && sameStatus(now.info, info_) &&
         now.bytes == text_;
}

bool UserTextFile::isReadOnly() const {
  // The mode bits say what the user meant even to root, whom access() lets write anything.
  return state_ == State::text && ((info_.st_mode & S_IWUSR) == 0 || ::access(target_.c_str(), W_OK) != 0);
}

UserTextFile::Outcome UserTextFile::edit(const fs::path& path,
                                         const std::function<Change(const UserTextFile&)>& change,
                                         mode_t newFileMode) {
  using Kind = Outcome::Kind;
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

    bool changedMeanwhile = false;
    auto stillAsRead = [&]() -> std::optional<std::string> {
      if (file.unchangedSinceRead()) return std::nullopt;
      changedMeanwhile = true;
      return std::string(kChangedMeanwhile);
    };
    std::optional<std::string> error;
    if (wanted.kind == Change::Kind::remove) {
      error = stillAsRead();
      if (!error && ::unlink(file.target_.c_str()) != 0 && errno != ENOENT)
        error = files::errnoText("removing " + file.target_.string());
    } else {
      const mode_t mode = file.state_ == State::text ? (file.info_.st_mode & 07777) : newFileMode;
      error = files::writeAtomically(file.target_, wanted.text, mode, stillAsRead);
    }
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
