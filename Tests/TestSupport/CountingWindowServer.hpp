#pragma once
// A window server that counts the window-list reads of the one it wraps (the desktop's), for the
// tests of how often a chord's start reads the list.

#include <cstdint>
#include <optional>
#include <vector>

#include "Platform/WindowServer.hpp"

namespace velvix::test {

class CountingWindowServer final : public platform::WindowServer {
 public:
  explicit CountingWindowServer(const platform::WindowServer& inner) : inner_(inner) {}
  std::optional<platform::WindowRows> windowList(std::uint32_t options) const override {
    ++reads;
    return inner_.windowList(options);
  }
  int mainConnection() const override { return inner_.mainConnection(); }
  std::optional<nlohmann::json> managedDisplaySpaces(int connection) const override {
    return inner_.managedDisplaySpaces(connection);
  }
  std::optional<nlohmann::json> spacesForWindows(int connection, std::uint32_t mask,
                                                 const std::vector<std::int64_t>& numbers) const override {
    return inner_.spacesForWindows(connection, mask, numbers);
  }
  mutable int reads = 0;

 private:
  const platform::WindowServer& inner_;
};

}  // namespace velvix::test
