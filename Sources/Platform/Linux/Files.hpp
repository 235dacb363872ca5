#pragma once
// Plain POSIX file helpers with explicit modes. Files written for the user go through
// writeAtomically, so a reader never sees half a file and a crash never leaves one behind.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

namespace velvix::files {

// Creates `folder` and any missing parents with `mode` (existing folders are left as they are).
// Returns an error text, or nothing on success.
std::optional<std::string> createFolders(const std::filesystem::path& folder, mode_t mode = 0700);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk, sets `mode` and renames it
// over `path`. On failure the old file is untouched and the temporary one removed. `beforeRename`,
// when given, runs once the temporary file is complete; an error text from it stops the write.
// Temporaries left by a writer that was killed are removed first (see temporaryPath).
std::optional<std::string> writeAtomically(
    const std::filesystem::path& path, std::string_view bytes, mode_t mode,
    const std::function<std::optional<std::string>()>& beforeRename = nullptr);

// Writes `bytes` to the new file `temporary` (which must not exist), with exactly `mode`, flushed to
// disk; on failure nothing is left. An error text, or nothing on success.
std::optional<std::string> writeNewFile(const std::filesystem::path& temporary, std::string_view bytes,
                                        mode_t mode);

// Where a write of `path` by process `writer` keeps its temporary file: a hidden file beside it,
// ".<name>.velvix-tmp-<writer>-<random>" (one dot only before a hidden name), so that one whose writer is
// gone can be found and removed.
std::filesystem::path temporaryPath(const std::filesystem::path& path, pid_t writer);
// Removes the temporaries of `path` whose writer no longer runs (ended, a zombie, or its process id
// now taken by a process that started after the temporary was last changed).
void removeStaleTemporaries(const std::filesystem::path& path);

// A regular file's bytes and status, read without ever opening anything else: a FIFO, a device or
// a socket in a file's place is reported, not opened, so reading can never block.
struct RegularFileRead {
  enum class Status { read, missing, notRegular, failed };
  Status status = Status::missing;
  std::string bytes;
  std::string problem;  // for notRegular and failed: "is a FIFO, not a regular file", "cannot be read (...)"
  struct stat info {};  // the file's status when read
};
RegularFileRead readRegularFile(const std::filesystem::path& path);

// The whole regular file, or nothing when it cannot be read (or is not a regular file).
std::optional<std::string> readAll(const std::filesystem::path& path);

// "<what> failed: <strerror(errno)>", for error texts.
std::string errnoText(std::string_view what);

// Puts the folder `incoming` in the place of the existing `destination` in one step where the file
// system can exchange two names, else by moving the old one aside to `retiring` first and back on
// failure; so `destination` is never missing, even if the process dies half way. On success the
// old copy is at `incoming`'s name (or `retiring`) for the caller to remove. An error text, or
// nothing on success.
std::optional<std::string> swapIn(const std::filesystem::path& incoming,
                                  const std::filesystem::path& destination,
                                  const std::filesystem::path& retiring);

}  // namespace velvix::files
