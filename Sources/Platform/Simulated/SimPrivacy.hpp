#pragma once
// The privacy facade of the simulated desktop: checks read SimDesktop::privacy, prompts are
// recorded there, and an Automation query answers after its latency on the main loop.

#include "Platform/Privacy.hpp"

namespace velvix::sim {

class SimDesktop;

class SimPrivacy final : public platform::Privacy {
 public:
  explicit SimPrivacy(SimDesktop& desktop) : desktop_(desktop) {}

  bool accessibilityTrusted(bool prompt) override;
  bool listenEventPreflight() const override;
  platform::ListenEventAccess listenEventAccess() const override;
  void requestListenEvent() override;
  bool screenCapturePreflight() const override;
  void requestScreenCapture() override;
  void queryAutomation(const std::string& bundleID, bool askUser,
                       std::function<void(std::int32_t)> completion) override;

 private:
  SimDesktop& desktop_;
};

}  // namespace velvix::sim
