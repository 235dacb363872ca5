#pragma once
// This program's application object on the simulated desktop.

#include <functional>

#include "Platform/Application.hpp"

namespace velvix::sim {

class SimDesktop;

class SimApplication final : public platform::Application {
 public:
  explicit SimApplication(SimDesktop& desktop) : desktop_(desktop) {}

  void activate(bool ignoringOtherApps) override;
  void deactivate() override;
  void terminate() override;
  bool isActive() const override;
  std::vector<OwnWindow> windows() const override;
  void deminiaturize(std::int64_t window) override;
  void makeKeyAndOrderFront(std::int64_t window) override;

  int deactivations = 0;
  int terminateRequests = 0;
  // What the composition root does when the application is asked to terminate.
  std::function<void()> onTerminate;

 private:
  SimDesktop& desktop_;
};

}  // namespace velvix::sim
