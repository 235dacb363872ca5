#pragma once
// What the system reads of an application bundle on disk: the strings of its info dictionary
// (its identifier, its icon's name) and the names in one of its folders. A bundle is a folder
// whose name ends in ".app"; every read that fails yields nothing rather than an error.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velvix::platform {

class BundleReader {
 public:
  static constexpr std::string_view kIdentifierKey = "CFBundleIdentifier";

  virtual ~BundleReader() = default;

  // The string under `key` at the top of the bundle's info dictionary; nothing when the
  // dictionary cannot be read or holds no string there.
  virtual std::optional<std::string> infoString(const std::filesystem::path& bundle,
                                                std::string_view key) const = 0;
  // The names in the folder `relativeFolder` of the bundle (e.g. "Contents/Frameworks"); nothing
  // when the folder cannot be listed.
  virtual std::optional<std::vector<std::string>> folderEntries(const std::filesystem::path& bundle,
                                                                std::string_view relativeFolder) const = 0;

  std::optional<std::string> bundleIdentifier(const std::filesystem::path& bundle) const {
    return infoString(bundle, kIdentifierKey);
  }
};

}  // namespace velvix::platform
