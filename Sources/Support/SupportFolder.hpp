#pragma once
// The application's support folder, "Library/Application Support/Velvix" under the user's home
// folder. It holds the socket, the logs, the clean-exit marker and the installed helpers, and is
// always created with mode 0700: it is private to the user.

#include <filesystem>
#include <optional>
#include <string>

namespace velvix::SupportFolder {

std::filesystem::path path(const std::filesystem::path& home);
// Creates the folder (and missing parents) with mode 0700; an error text on failure.
std::optional<std::string> ensure(const std::filesystem::path& home);

}  // namespace velvix::SupportFolder
