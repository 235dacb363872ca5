#pragma once
// Helpers for tests of what the application writes into the user's own files: real files in the
// test's temporary home folder, read back byte for byte.

#include <filesystem>
#include <optional>
#include <string>

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

}  // namespace velvix::test
