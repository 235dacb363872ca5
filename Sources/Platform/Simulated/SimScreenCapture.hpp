#pragma once
// Screen capture on the simulated desktop: the shareable windows are the desktop's windows, and a
// still is rendered synthetically at the requested size after the capture latency, from the window
// as it is when the still is taken. Live streams start after the same latency and deliver a
// rendered frame on the virtual clock at their frame rate (idle frames while the window is
// minimized) until they are stopped or the window goes away.

#include <map>

#include "Platform/ScreenCapture.hpp"

namespace velvix::sim {

class SimDesktop;

class SimScreenCapture final : public platform::ScreenCapture {
 public:
  explicit SimScreenCapture(SimDesktop& desktop) : desktop_(desktop) {}
  void shareableContent(ContentCompletion completion) override;
  void screenshot(std::int64_t windowID, int width, int height, ImageCompletion completion) override;
  void startWindowStream(std::int64_t windowID, const platform::WindowStreamConfiguration& configuration,
                         FrameHandler onFrame, StreamCompletion completion) override;

  // ---- for tests
  // Frames of a window's streams carry this status instead of the usual one.
  std::map<std::int64_t, platform::StreamFrameStatus> frameStatus;
  // How many frames a stream still delivers after it was stopped (they were already on their way).
  int framesAfterStop = 0;
  // Streams started and not yet stopped.
  int runningStreams() const { return running_; }
  int streamsStarted() const { return started_; }

 private:
  class Stream;
  platform::StreamFrame frame(std::int64_t windowID,
                              const platform::WindowStreamConfiguration& configuration) const;

  SimDesktop& desktop_;
  int running_ = 0;
  int started_ = 0;
};

}  // namespace velvix::sim
