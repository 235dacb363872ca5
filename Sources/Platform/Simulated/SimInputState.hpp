#pragma once
// The input-state facade of the simulated desktop: idle times from SimDesktop's last input times.

#include "Platform/InputState.hpp"

namespace velvix::sim {

class SimDesktop;

class SimInputState final : public platform::InputState {
 public:
  explicit SimInputState(const SimDesktop& desktop) : desktop_(desktop) {}
  double secondsSinceLastEvent(platform::InputEventType type) const override;
  std::uint64_t modifierFlags() const override;
  bool isKeyDown(std::int64_t keyCode) const override;
  bool isAnyMouseButtonDown() const override;

 private:
  const SimDesktop& desktop_;
};

}  // namespace velvix::sim
