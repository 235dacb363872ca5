#pragma once
// The window-server facade of the simulated desktop: rows built from the desktop's windows front
// to back, Space answers from its displays, and the faults of WindowServerFaults.

#include "Platform/WindowServer.hpp"

namespace velvix::sim {

class SimDesktop;

class SimWindowServer final : public platform::WindowServer {
 public:
  explicit SimWindowServer(SimDesktop& desktop) : desktop_(desktop) {}

  std::optional<std::vector<platform::WindowRow>> windowList(std::uint32_t options) const override;
  int mainConnection() const override { return 0x5a07; }
  std::optional<nlohmann::json> managedDisplaySpaces(int connection) const override;
  std::optional<nlohmann::json> spacesForWindows(
      int connection, std::uint32_t mask, const std::vector<std::int64_t>& windowNumbers) const override;

 private:
  SimDesktop& desktop_;
};

}  // namespace velvix::sim
