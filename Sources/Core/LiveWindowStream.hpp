#pragma once
// One window shown live: a screen-capture stream of a single window at up to 10 frames a second,
// each complete frame handed to `onFrame` on the main thread as a picture sized in points. The
// HUD streams the window being left; the Dock peek another. A new start, or a stop, makes every
// earlier start that has not finished give up, and frames of any stream but the current one are
// dropped. Capture obeys the thumbnail cache's rules: nothing runs unless capture is available,
// for a window of an excluded application, or while secure input is on. Failures are silent.

#include <cstdint>
#include <functional>
#include <memory>

#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/ScreenCapture.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

class ThumbnailStore;
namespace platform {
class MainLoop;
}

class LiveWindowStream {
 public:
  static constexpr double kFrameRate = 10;
  static constexpr int kQueueDepth = 3;

  // `thumbnails` says whether capture may run and at which backing scale; frames are handed on
  // through `loop`.
  LiveWindowStream(platform::ScreenCapture& capture, const ThumbnailStore& thumbnails,
                   platform::MainLoop& loop);
  ~LiveWindowStream();
  LiveWindowStream(const LiveWindowStream&) = delete;
  LiveWindowStream& operator=(const LiveWindowStream&) = delete;

  // Set by the owner before it starts a stream; called for every frame delivered.
  std::function<void(const RGBAImage&)> onFrame;

  // Streams the window at most `maxPixelWidth` points wide, rendered at the densest backing
  // scale; with `drawnPixels`, no larger than needed to cover that many pixels, the size its
  // frames are drawn at. Stops the stream that ran before.
  void start(std::int64_t windowNumber, double maxPixelWidth, Size drawnPixels = {});
  void stop();

  bool isStreaming() const { return stream_ != nullptr; }
  std::uint64_t generation() const { return generation_; }
  double backingScale() const { return backingScale_; }

  // The stream's size in pixels for a window of `width` × `height` points: at most maxPixelWidth
  // points wide (never enlarged), at the backing scale, at least 2 × 2; with `drawnPixels`, no
  // larger than covers them (a pixel to spare), keeping the window's aspect.
  static platform::WindowStreamConfiguration configuration(double width, double height, double maxPixelWidth,
                                                           double backingScale, Size drawnPixels = {});

 private:
  void stopStream();
  void contentArrived(std::uint64_t generation, std::int64_t windowNumber, double maxPixelWidth,
                      Size drawnPixels, const std::vector<platform::ShareableWindow>& windows);
  void streamStarted(std::uint64_t generation, std::shared_ptr<platform::WindowStream> stream);
  void frameArrived(std::uint64_t generation, const platform::StreamFrame& frame);

  platform::ScreenCapture& capture_;
  const ThumbnailStore& thumbnails_;
  platform::MainLoop& loop_;
  std::shared_ptr<platform::WindowStream> stream_;
  std::uint64_t streamGeneration_ = 0;  // the start that installed stream_
  std::uint64_t generation_ = 0;
  double backingScale_ = 2.0;
  AliveToken alive_;
};

}  // namespace velvix
