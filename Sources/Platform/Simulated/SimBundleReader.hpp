#pragma once
// Application bundles that tests make up: each has an info dictionary of strings and a listing
// for any of its folders. Paths not added read as missing bundles.

#include <map>

#include "Platform/BundleReader.hpp"

namespace velvix::sim {

class SimBundleReader final : public platform::BundleReader {
 public:
  struct Bundle {
    std::map<std::string, std::string, std::less<>> info;
    std::map<std::string, std::vector<std::string>, std::less<>> folders;  // relative folder -> names
  };

  void add(const std::filesystem::path& path, Bundle bundle) { bundles_[path] = std::move(bundle); }

  std::optional<std::string> infoString(const std::filesystem::path& bundle,
                                        std::string_view key) const override;
  std::optional<std::vector<std::string>> folderEntries(const std::filesystem::path& bundle,
                                                        std::string_view relativeFolder) const override;

 private:
  std::map<std::filesystem::path, Bundle> bundles_;
};

}  // namespace velvix::sim
