#include "Platform/Simulated/SimScreenCapture.hpp"

#include <cmath>
#include <utility>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using platform::StreamFrame;
using platform::StreamFrameStatus;

class SimScreenCapture::Stream final : public platform::WindowStream {
 public:
  Stream(SimScreenCapture& capture, std::int64_t windowID, platform::WindowStreamConfiguration configuration,
         FrameHandler onFrame)
      : capture_(capture), windowID_(windowID), configuration_(configuration), onFrame_(std::move(onFrame)) {
    ++capture_.running_;
    ++capture_.started_;
    const double rate = configuration_.frameRate > 0 ? configuration_.frameRate : 60;
    timer_ = capture_.desktop_.loop().every(1.0 / rate, [this] { deliver(); });
  }
  ~Stream() override { end(); }

  void stop(std::function<void(std::string)> completion) override {
    if (running_) {
      end();
      // Frames already queued for the handler still arrive after the stop.
      for (int i = 0; i < capture_.framesAfterStop; ++i)
        capture_.desktop_.loop().post(
            [frame = capture_.frame(windowID_, configuration_), onFrame = onFrame_] {
              if (onFrame) onFrame(frame);
            });
    }
    if (completion) capture_.desktop_.loop().post([completion = std::move(completion)] { completion({}); });
  }

 private:
  void deliver() {
    if (!std::as_const(capture_.desktop_).window(windowID_))
      return;  // the window is gone: nothing more to show
    if (onFrame_) onFrame_(capture_.frame(windowID_, configuration_));
  }
  void end() {
    if (!running_) return;
    running_ = false;
    timer_.invalidate();
    --capture_.running_;
  }

  SimScreenCapture& capture_;
  std::int64_t windowID_;
  platform::WindowStreamConfiguration configuration_;
  FrameHandler onFrame_;
  platform::Timer timer_;
  bool running_ = true;
};

void SimScreenCapture::shareableContent(ContentCompletion completion) {
  desktop_.loop().postAfter(desktop_.captureLatency, [this, completion = std::move(completion)] {
    if (desktop_.shareableContentFails) {
      completion(std::nullopt, "The user declined screen recording.");
      return;
    }
    std::vector<platform::ShareableWindow> windows;
    windows.reserve(desktop_.stackingOrder().size());
    for (auto number : desktop_.stackingOrder()) {
      const SimWindow* w = std::as_const(desktop_).window(number);
      if (!w->shareable) continue;
      windows.push_back({w->number, w->bounds, w->title, w->owner});
    }
    completion(std::move(windows), {});
  });
}

void SimScreenCapture::screenshot(std::int64_t windowID, int width, int height, ImageCompletion completion) {
  desktop_.loop().postAfter(desktop_.captureLatency,
                            [this, windowID, width, height, completion = std::move(completion)] {
                              const SimWindow* w = std::as_const(desktop_).window(windowID);
                              if (!w) {
                                completion(std::nullopt, "The window is no longer available.");
                                return;
                              }
                              if (w->captureFails) {
                                completion(std::nullopt, "The stream was interrupted.");
                                return;
                              }
                              ++desktop_.screenshotsTaken;
                              completion(desktop_.renderWindow(windowID, width, height), {});
                            });
}

void SimScreenCapture::startWindowStream(std::int64_t windowID,
                                         const platform::WindowStreamConfiguration& configuration,
                                         FrameHandler onFrame, StreamCompletion completion) {
  desktop_.loop().postAfter(
      desktop_.captureLatency, [this, windowID, configuration, onFrame = std::move(onFrame),
                                completion = std::move(completion)]() mutable {
        const SimWindow* w = std::as_const(desktop_).window(windowID);
        if (!w || !w->shareable) {
          completion(nullptr, "The window is no longer available.");
          return;
        }
        if (w->captureFails) {
          completion(nullptr, "The stream failed to start.");
          return;
        }
        completion(std::make_shared<Stream>(*this, windowID, configuration, std::move(onFrame)), {});
      });
}

StreamFrame SimScreenCapture::frame(std::int64_t windowID,
                                    const platform::WindowStreamConfiguration& configuration) const {
  const SimWindow* w = std::as_const(desktop_).window(windowID);
  if (!w) return {StreamFrameStatus::stopped, std::nullopt};
  StreamFrameStatus status = w->minimized ? StreamFrameStatus::idle : StreamFrameStatus::complete;
  if (auto forced = frameStatus.find(windowID); forced != frameStatus.end()) status = forced->second;
  if (status != StreamFrameStatus::complete) return {status, std::nullopt};
  // Scaled to fit the configured size, keeping the window's aspect.
  int width = configuration.width, height = configuration.height;
  if (w->bounds.width > 0 && w->bounds.height > 0) {
    const double fit =
        std::min(configuration.width / w->bounds.width, configuration.height / w->bounds.height);
    width = std::max(1, static_cast<int>(std::lround(w->bounds.width * fit)));
    height = std::max(1, static_cast<int>(std::lround(w->bounds.height * fit)));
  }
  return {status, desktop_.renderWindow(windowID, width, height)};
}

}  // namespace velvix::sim
