#pragma once
// The mark the system puts on files that came from elsewhere, which makes it ask the user before
// it first runs a program. A program the application installs for a browser to start must not
// carry it. Best effort: removing a mark that is not there, or failing to, changes nothing.

#include <filesystem>

namespace velvix::platform {

class Quarantine {
 public:
  virtual ~Quarantine() = default;
  virtual void remove(const std::filesystem::path& file) = 0;
};

}  // namespace velvix::platform
