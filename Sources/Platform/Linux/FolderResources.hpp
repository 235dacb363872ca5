#pragma once
// The application's resources as the files of one folder: by default the folder that holds the
// running program (where the build puts the relay beside it), or a folder given to it.

#include <filesystem>

#include "Platform/AppResources.hpp"

namespace velvix::platform {

class FolderResources final : public AppResources {
 public:
  explicit FolderResources(std::filesystem::path folder) : folder_(std::move(folder)) {}
  // The folder of the running program's executable (empty when it cannot be found).
  static FolderResources besideProgram();

  std::optional<std::filesystem::path> path(std::string_view name) const override;

 private:
  std::filesystem::path folder_;
};

}  // namespace velvix::platform
