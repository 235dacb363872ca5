#include "Support/SupportFolder.hpp"

#include "Platform/Linux/Files.hpp"

namespace velvix::SupportFolder {

std::filesystem::path path(const std::filesystem::path& home) {
  return home / "Library" / "Application Support" / "Velvix";
}

std::optional<std::string> ensure(const std::filesystem::path& home) {
  return files::createFolders(path(home), 0700);
}

}  // namespace velvix::SupportFolder
