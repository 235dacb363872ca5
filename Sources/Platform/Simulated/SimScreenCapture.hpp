#pragma once
// Screen capture on the simulated desktop: the shareable windows are the desktop's windows, and a
// still is rendered synthetically at the requested size after the capture latency, from the window
// as it is when the still is taken.

#include "Platform/ScreenCapture.hpp"

namespace velvix::sim {

class SimDesktop;

class SimScreenCapture final : public platform::ScreenCapture {
 public:
  explicit SimScreenCapture(SimDesktop& desktop) : desktop_(desktop) {}
  void shareableContent(ContentCompletion completion) override;
  void screenshot(std::int64_t windowID, int width, int height, ImageCompletion completion) override;

 private:
  SimDesktop& desktop_;
};

}  // namespace velvix::sim
