#include "Platform/Simulated/SimBundleReader.hpp"

namespace velvix::sim {

std::optional<std::string> SimBundleReader::infoString(const std::filesystem::path& bundle,
                                                       std::string_view key) const {
  auto found = bundles_.find(bundle);
  if (found == bundles_.end()) return std::nullopt;
  auto value = found->second.info.find(key);
  if (value == found->second.info.end()) return std::nullopt;
  return value->second;
}

std::optional<std::vector<std::string>> SimBundleReader::folderEntries(
    const std::filesystem::path& bundle, std::string_view relativeFolder) const {
  auto found = bundles_.find(bundle);
  if (found == bundles_.end()) return std::nullopt;
  auto folder = found->second.folders.find(relativeFolder);
  if (folder == found->second.folders.end()) return std::nullopt;
  return folder->second;
}

}  // namespace velvix::sim
