#include "Platform/Linux/FolderResources.hpp"

#include <system_error>

namespace velvix::platform {

FolderResources FolderResources::besideProgram() {
  std::error_code error;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
  return FolderResources(error ? std::filesystem::path() : program.parent_path());
}

std::optional<std::filesystem::path> FolderResources::path(std::string_view name) const {
  if (folder_.empty() || name.empty()) return std::nullopt;
  const auto candidate = folder_ / name;
  std::error_code error;
  if (!std::filesystem::exists(candidate, error)) return std::nullopt;
  return candidate;
}

}  // namespace velvix::platform
