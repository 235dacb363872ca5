#pragma once
// Used by the tests only: the simulated desktop's applications have no bundles on disk, so the
// program reads them through the simulation's reader; the tests keep this one working for real
// bundle folders and read the scenario browsers' bundles with it.
// Application bundles read from the file system: a bundle is a folder "<Name>.app" whose info
// dictionary is "Contents/Info.plist" in the XML property-list form.

#include "Platform/BundleReader.hpp"

namespace velvix::platform {

class FileBundleReader final : public BundleReader {
 public:
  // Real info dictionaries are a few kilobytes; a file past this is not read at all.
  static constexpr std::uintmax_t kMaxInfoBytes = 1024 * 1024;

  std::optional<std::string> infoString(const std::filesystem::path& bundle,
                                        std::string_view key) const override;
  std::optional<std::vector<std::string>> folderEntries(const std::filesystem::path& bundle,
                                                        std::string_view relativeFolder) const override;
};

}  // namespace velvix::platform
