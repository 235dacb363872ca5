#pragma once
// A text file that belongs to the user (~/.zshrc, an editor's keybindings.json), read and written
// so that nothing of it is ever lost: only a missing file counts as empty; one that cannot be read
// or is not UTF-8 is reported, never treated as empty; writes are atomic, go through symbolic
// links to the file where it lives, and keep its permission bits.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace velvix {

class UserTextFile {
 public:
  enum class State { text, missing, unusable };
  // Mode of a file that does not exist yet.
  static constexpr mode_t kNewFileMode = 0644;

  static UserTextFile read(const std::filesystem::path& path);

  State state() const { return state_; }
  // The file's text (empty when missing).
  const std::string& text() const { return text_; }
  // Why an unusable file cannot be used, for the log.
  const std::string& problem() const { return problem_; }
  // Where the file lives once symbolic links are followed; it need not exist.
  const std::filesystem::path& target() const { return target_; }

  // Replaces the file's text atomically at its target, keeping the target's permission bits (a new
  // file gets kNewFileMode). An error text on failure; the old file is then untouched.
  std::optional<std::string> write(std::string_view text) const;

  // `path` with every symbolic link along its last component followed (a chain of links, relative
  // or absolute); a dangling link gives the path it points at.
  static std::filesystem::path followLinks(const std::filesystem::path& path);

 private:
  State state_ = State::missing;
  std::string text_;
  std::string problem_;
  std::filesystem::path target_;
};

}  // namespace velvix
