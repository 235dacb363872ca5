#pragma once
// The read-only resources the application carries with it (the relay program, the unpacked
// browser extension): inside the application bundle on the Mac, beside the program here.

#include <filesystem>
#include <optional>
#include <string_view>

namespace velvix::platform {

class AppResources {
 public:
  virtual ~AppResources() = default;
  // Where the named resource (a file or a folder) is, when the application carries it.
  virtual std::optional<std::filesystem::path> path(std::string_view name) const = 0;
};

}  // namespace velvix::platform
