#pragma once
// The program launcher of the simulated desktop: records what would have been started.

#include "Platform/Launcher.hpp"

namespace velvix::sim {

class SimLauncher final : public platform::Launcher {
 public:
  struct Spawned {
    std::string program;
    std::vector<std::string> arguments;
  };

  std::optional<std::string> spawn(const std::string& program,
                                   const std::vector<std::string>& arguments) override {
    if (failure) return failure;
    spawned.push_back({program, arguments});
    return std::nullopt;
  }
  std::string openApplicationCommand() const override { return "/usr/bin/open -a"; }

  std::vector<Spawned> spawned;
  std::optional<std::string> failure;
};

}  // namespace velvix::sim
