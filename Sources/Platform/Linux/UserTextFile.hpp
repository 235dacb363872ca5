#pragma once
// A text file that belongs to the user (~/.zshrc, an editor's keybindings.json), read and changed
// so that nothing of it is ever lost: only a missing file counts as empty; one that cannot be
// read, is not a regular file or is not UTF-8 is reported, never treated as empty (and never
// opened when it is a FIFO or a device). Changes are atomic, go through symbolic links to the
// file where it lives, keep its permission bits, leave a file the user made read-only alone, and
// never overwrite what another program wrote meanwhile, lines it appended included. A file with
// more than one hard link is left alone: a rewrite would part its names.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>

namespace velvix {

class UserTextFile {
 public:
  enum class State { text, missing, unusable };
  // Mode of a file that does not exist yet.
  static constexpr mode_t kNewFileMode = 0644;
  // How many times a change starts again from a file that another program changed meanwhile.
  static constexpr int kAttempts = 3;
  // The problem of an edit that left a read-only file alone.
  static constexpr const char* kReadOnly = "is read-only";

  static UserTextFile read(const std::filesystem::path& path);

  State state() const { return state_; }
  // The file's text (empty when missing).
  const std::string& text() const { return text_; }
  // Why an unusable file cannot be used, after the file's name: "is not UTF-8 text".
  const std::string& problem() const { return problem_; }
  // Where the file lives once symbolic links are followed; it need not exist.
  const std::filesystem::path& target() const { return target_; }

  // What a change makes of the file as read: keep it (with why, when something stands in the
  // way), give it a new text, or remove it.
  struct Change {
    enum class Kind { keep, write, remove };
    Kind kind = Kind::keep;
    std::string text;     // write: the new text
    std::string problem;  // keep: why it cannot be changed; empty: nothing to change
  };
  struct Outcome {
    // unreadable: the file could not be used at all; leftAlone: the change could not be made
    // (read-only, kept changing, the change's own reason); failed: writing it failed.
    enum class Kind { unchanged, written, created, removed, unreadable, leftAlone, failed };
    Kind kind = Kind::unchanged;
    std::string problem;
    std::filesystem::path target;
  };

  // Reads the file, asks `change` what to make of it and does that. What another program appends
  // while the change is made is kept after it. When the file turns out to have been changed
  // otherwise since it was read (replaced, rewritten), the change starts
  // again from the new text, kAttempts times at most; after that the file is left alone. A file
  // that exists keeps its permission bits; a new one gets `newFileMode`.
  static Outcome edit(const std::filesystem::path& path,
                      const std::function<Change(const UserTextFile&)>& change,
                      mode_t newFileMode = kNewFileMode);

  // `path` with every symbolic link along its last component followed (a chain of links, relative
  // or absolute); a dangling link gives the path it points at.
  static std::filesystem::path followLinks(const std::filesystem::path& path);

 private:
  // The same file, holding what was read with perhaps more after it: what a program appending a
  // line does, which the change keeps. Anything else makes the change start again.
  bool onlyAppendedToSinceRead() const;
  // Puts the change in the place of the file as read. An error text, or nothing; `changedMeanwhile`
  // tells that another program changed the file since it was read, so nothing was changed.
  std::optional<std::string> replace(const Change& wanted, mode_t mode, bool& changedMeanwhile) const;
  bool isReadOnly() const;

  State state_ = State::missing;
  std::string text_;
  std::string problem_;
  std::filesystem::path target_;
  struct stat info_ {};
};

}  // namespace velvix
