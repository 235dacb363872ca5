#include "Platform/Linux/FileBundleReader.hpp"

#include <algorithm>

#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/XmlPropertyList.hpp"

namespace velvix::platform {

std::optional<std::string> FileBundleReader::infoString(const std::filesystem::path& bundle,
                                                        std::string_view key) const {
  const auto file = bundle / "Contents" / "Info.plist";
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size > kMaxInfoBytes) return std::nullopt;
  const auto document = files::readAll(file);
  if (!document) return std::nullopt;
  return xmlplist::topLevelString(*document, key);
}

std::optional<std::vector<std::string>> FileBundleReader::folderEntries(
    const std::filesystem::path& bundle, std::string_view relativeFolder) const {
  std::error_code error;
  std::filesystem::directory_iterator entries(bundle / relativeFolder, error);
  if (error) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace velvix::platform
