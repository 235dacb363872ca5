#pragma once
// Starts helper programs (the relaunch shell) without waiting for them.

#include <optional>
#include <string>
#include <vector>

namespace velvix::platform {

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Starts `program` with `arguments` (argv[1...]); the error text when it cannot be started.
  virtual std::optional<std::string> spawn(const std::string& program,
                                           const std::vector<std::string>& arguments) = 0;
  // The shell command that opens an application bundle given as "$1" once this process is gone.
  virtual std::string openApplicationCommand() const = 0;
};

}  // namespace velvix::platform
