#include "Core/LiveWindowStream.hpp"

#include <algorithm>
#include <cmath>

#include "Core/ThumbnailStore.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/OnMainLoop.hpp"

namespace velvix {

using platform::StreamFrame;
using platform::WindowStream;

LiveWindowStream::LiveWindowStream(platform::ScreenCapture& capture, const ThumbnailStore& thumbnails,
                                   platform::MainLoop& loop)
    : capture_(capture), thumbnails_(thumbnails), loop_(loop) {}

LiveWindowStream::~LiveWindowStream() {
  stopStream();
}

platform::WindowStreamConfiguration LiveWindowStream::configuration(double width, double height,
                                                                    double maxPixelWidth, double backingScale,
                                                                    Size drawnPixels) {
  double fit = width > 1 ? maxPixelWidth / width : maxPixelWidth;
  fit = std::min(fit, 1.0);
  // Frames drawn smaller are streamed at about that size: a frame at the full size would only be
  // shrunk on arrival, after costing its pixels in memory and their drawing.
  if (drawnPixels.width >= 1 && drawnPixels.height >= 1 && width > 1 && height > 1 && backingScale > 0) {
    const double cover = std::max((std::ceil(drawnPixels.width) + 1) / (backingScale * width),
                                  (std::ceil(drawnPixels.height) + 1) / (backingScale * height));
    fit = std::min(fit, cover);
  }
  platform::WindowStreamConfiguration config;
  config.width = std::max(2, static_cast<int>(backingScale * width * fit));
  config.height = std::max(2, static_cast<int>(backingScale * fit * height));
  config.frameRate = kFrameRate;
  config.queueDepth = kQueueDepth;
  config.showsCursor = false;
  return config;
}

void LiveWindowStream::start(std::int64_t windowNumber, double maxPixelWidth, Size drawnPixels) {
  const std::uint64_t generation = ++generation_;
  stopStream();
  if (!thumbnails_.isAvailable()) return;
  capture_.shareableContent(onMainLoop<std::optional<std::vector<platform::ShareableWindow>>, std::string>(
      loop_, alive_.watch(),
      [this, generation, windowNumber, maxPixelWidth, drawnPixels](auto windows, const std::string&) {
        if (windows) contentArrived(generation, windowNumber, maxPixelWidth, drawnPixels, *windows);
      }));
}

void LiveWindowStream::contentArrived(std::uint64_t generation, std::int64_t windowNumber,
                                      double maxPixelWidth, Size drawnPixels,
                                      const std::vector<platform::ShareableWindow>& windows) {
  if (generation != generation_) return;
  auto window = std::find_if(windows.begin(), windows.end(),
                             [windowNumber](const auto& w) { return w.windowID == windowNumber; });
  if (window == windows.end()) return;
  if (window->owningPID && thumbnails_.captureForbidden(*window->owningPID)) return;
  backingScale_ = thumbnails_.densestBackingScale();
  const auto config =
      configuration(window->frame.width, window->frame.height, maxPixelWidth, backingScale_, drawnPixels);

  auto watch = alive_.watch();
  auto onFrames = onMainLoop<StreamFrame>(
      loop_, watch, [this, generation](const StreamFrame& frame) { frameArrived(generation, frame); });
  auto started = onMainLoop<std::shared_ptr<WindowStream>, std::string>(
      loop_, watch, [this, generation](std::shared_ptr<WindowStream> stream, const std::string&) {
        streamStarted(generation, std::move(stream));
      });
  capture_.startWindowStream(windowNumber, config, std::move(onFrames), std::move(started));
}

void LiveWindowStream::streamStarted(std::uint64_t generation, std::shared_ptr<WindowStream> stream) {
  if (!stream) return;
  if (generation != generation_) {
    // Overtaken by a later start or a stop while it was starting: it never shows.
    stream->stop({});
    return;
  }
  stream_ = std::move(stream);
  streamGeneration_ = generation;
}

void LiveWindowStream::frameArrived(std::uint64_t generation, const StreamFrame& frame) {
  // Only frames of the stream installed now; a superseded stream's late frames are dropped.
  if (!stream_ || streamGeneration_ != generation) return;
  if (frame.status != platform::StreamFrameStatus::complete || !frame.image || frame.image->isNull()) return;
  if (onFrame) onFrame(frame.image->withScale(backingScale_));
}

void LiveWindowStream::stop() {
  ++generation_;
  stopStream();
}

void LiveWindowStream::stopStream() {
  if (!stream_) return;
  auto stream = std::move(stream_);
  stream_.reset();
  stream->stop({});  // errors while stopping are of no interest
}

}  // namespace velvix
