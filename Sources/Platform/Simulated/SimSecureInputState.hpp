#pragma once
// Secure input on the simulated desktop: SimDesktop::secureInput, as the platform reports it.

#include "Platform/SecureInput.hpp"

namespace velvix::sim {

class SimDesktop;

class SimSecureInputState final : public platform::SecureInput {
 public:
  explicit SimSecureInputState(const SimDesktop& desktop) : desktop_(desktop) {}
  bool isEnabled() const override;
  std::optional<platform::Pid> holder() const override;

 private:
  const SimDesktop& desktop_;
};

}  // namespace velvix::sim
