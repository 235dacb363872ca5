#pragma once
// Plain POSIX file helpers with explicit modes. Files written for the user go through
// writeAtomically, so a reader never sees half a file and a crash never leaves one behind.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace velvix::files {

// Creates `folder` and any missing parents with `mode` (existing folders are left as they are).
// Returns an error text, or nothing on success.
std::optional<std::string> createFolders(const std::filesystem::path& folder, mode_t mode = 0700);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk, sets `mode` and renames it
// over `path`. On failure the old file is untouched and the temporary one removed.
std::optional<std::string> writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                                           mode_t mode);

// The whole file, or nothing when it cannot be read.
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
