#include <gtest/gtest.h>

#include "Core/LiveWindowStream.hpp"
#include "Platform/Simulated/SimScreenCapture.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

struct StreamWorld : TestWorld {
  StreamWorld() {
    thumbnails();
    stream.onFrame = [this](const RGBAImage& frame) { frames.push_back(frame); };
  }
  platform::Pid editor = desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  std::int64_t wide = desktop.addWindow(editor, {.title = "Wide", .bounds = {0, 0, 1280, 800}});
  std::int64_t narrow = desktop.addWindow(editor, {.title = "Narrow", .bounds = {0, 0, 400, 300}});
  sim::SimScreenCapture& capture = desktop.screenCapture();
  LiveWindowStream stream{desktop.screenCapture(), thumbnails(), loop};
  std::vector<RGBAImage> frames;

  // The colour the simulated desktop paints a window's pictures in.
  RGBAPixel colourOf(std::int64_t window) { return desktop.renderWindow(window, 1, 1)->pixel(0, 0); }
  bool allShow(std::int64_t window, std::size_t from = 0) {
    for (std::size_t i = from; i < frames.size(); ++i)
      if (frames[i].pixel(0, 0) != colourOf(window)) return false;
    return true;
  }
};

TEST(LiveWindowStream, StreamsCompleteFramesAtTenASecondSizedInPoints) {
  StreamWorld w;
  w.stream.start(w.wide, 640);
  w.loop.advance(1.0);
  EXPECT_TRUE(w.stream.isStreaming());
  // Up to 10 a second, less the time the start took.
  EXPECT_GE(w.frames.size(), 8u);
  EXPECT_LE(w.frames.size(), 10u);
  const RGBAImage& frame = w.frames.back();
  EXPECT_EQ(frame.pixelWidth(), 1280);  // 640 points at the display's backing scale of 2
  EXPECT_EQ(frame.pixelHeight(), 800);
  EXPECT_DOUBLE_EQ(frame.pointWidth(), 640);
  EXPECT_TRUE(w.allShow(w.wide));
}

TEST(LiveWindowStream, ANarrowWindowStreamsAtItsOwnWidth) {
  StreamWorld w;
  w.stream.start(w.narrow, 640);
  w.loop.advance(0.5);
  ASSERT_FALSE(w.frames.empty());
  EXPECT_DOUBLE_EQ(w.frames.back().pointWidth(), 400);
  EXPECT_EQ(w.frames.back().pixelWidth(), 800);
  auto config = LiveWindowStream::configuration(0.5, 0.5, 640, 2);  // degenerate windows still get 2 × 2
  EXPECT_EQ(config.width, 2);
  EXPECT_EQ(config.height, 2);
}

// Frames drawn in a small cell are streamed at about the cell's pixels, both sides covering it
// with the window's aspect, never above the width asked for.
TEST(LiveWindowStream, FramesDrawnSmallStreamAtTheSizeTheyAreDrawn) {
  StreamWorld w;
  w.stream.start(w.wide, 640, {290, 200});
  w.loop.advance(0.5);
  ASSERT_FALSE(w.frames.empty());
  const RGBAImage& frame = w.frames.back();
  EXPECT_GE(frame.pixelWidth(), 320);  // the height covers 200 pixels: the wider side overflows
  EXPECT_LE(frame.pixelWidth(), 323);
  EXPECT_GE(frame.pixelHeight(), 200);
  EXPECT_LE(frame.pixelHeight(), 202);
  EXPECT_TRUE(w.allShow(w.wide));
  const auto large = LiveWindowStream::configuration(1280, 800, 640, 2, {4000, 3000});
  EXPECT_EQ(large.width, 1280);
  EXPECT_EQ(large.height, 800);
}

TEST(LiveWindowStream, ARestartDropsTheFramesOfTheStreamItReplaced) {
  StreamWorld w;
  w.capture.framesAfterStop = 2;  // the old stream's frames still arrive after its stop
  w.stream.start(w.wide, 640);
  w.loop.advance(0.5);
  ASSERT_FALSE(w.frames.empty());
  ASSERT_TRUE(w.allShow(w.wide));
  const std::size_t before = w.frames.size();
  w.stream.start(w.narrow, 640);
  w.loop.advance(0.5);
  EXPECT_GT(w.frames.size(), before);
  EXPECT_TRUE(w.allShow(w.narrow, before));
  EXPECT_EQ(w.capture.runningStreams(), 1);
}

TEST(LiveWindowStream, TwoQuickStartsInstallOnlyTheSecond) {
  StreamWorld w;
  w.stream.start(w.wide, 640);
  w.stream.start(w.narrow, 640);
  w.loop.advance(1.0);
  EXPECT_EQ(w.capture.streamsStarted(), 1);
  EXPECT_FALSE(w.frames.empty());
  EXPECT_TRUE(w.allShow(w.narrow));
}

TEST(LiveWindowStream, AStartOvertakenByAStopNeverDelivers) {
  StreamWorld w;
  // Stopped while the shareable content is on its way.
  w.stream.start(w.wide, 640);
  w.stream.stop();
  w.loop.advance(1.0);
  EXPECT_EQ(w.capture.streamsStarted(), 0);

  // Stopped after the capture began starting: the new stream is stopped as soon as it runs.
  w.stream.start(w.wide, 640);
  w.loop.advance(w.desktop.captureLatency * 1.5);
  w.stream.stop();
  w.loop.advance(1.0);
  EXPECT_EQ(w.capture.streamsStarted(), 1);
  EXPECT_EQ(w.capture.runningStreams(), 0);
  EXPECT_FALSE(w.stream.isStreaming());
  EXPECT_TRUE(w.frames.empty());
}

TEST(LiveWindowStream, StopEndsTheStream) {
  StreamWorld w;
  w.stream.start(w.wide, 640);
  w.loop.advance(0.5);
  w.stream.stop();
  const std::size_t count = w.frames.size();
  w.loop.advance(1.0);
  EXPECT_EQ(w.frames.size(), count);
  EXPECT_EQ(w.capture.runningStreams(), 0);
}

TEST(LiveWindowStream, NothingStreamsWithoutCaptureForExcludedAppsOrUnderSecureInput) {
  StreamWorld w;
  w.preferences().showThumbnails.set(false);
  w.stream.start(w.wide, 640);
  w.preferences().showThumbnails.set(true);
  w.desktop.privacy.screenCapture = false;
  w.stream.start(w.wide, 640);
  w.desktop.privacy.screenCapture = true;
  w.loop.advance(1.0);
  EXPECT_EQ(w.capture.streamsStarted(), 0);

  w.desktop.secureInput.enabled = true;
  w.stream.start(w.wide, 640);
  w.loop.advance(1.0);
  w.desktop.secureInput.enabled = false;
  w.preferences().excludedBundleIDs.set({"com.example.editor"});
  w.stream.start(w.wide, 640);
  w.loop.advance(1.0);
  EXPECT_EQ(w.capture.streamsStarted(), 0);
  EXPECT_TRUE(w.frames.empty());
}

TEST(LiveWindowStream, AStartWithoutCaptureStillStopsThePreviousStream) {
  StreamWorld w;
  w.stream.start(w.wide, 640);
  w.loop.advance(0.5);
  w.desktop.privacy.screenCapture = false;
  w.stream.start(w.narrow, 640);
  w.loop.advance(0.5);
  EXPECT_EQ(w.capture.runningStreams(), 0);
  EXPECT_FALSE(w.stream.isStreaming());
}

TEST(LiveWindowStream, IncompleteFramesAndUnknownWindowsShowNothing) {
  StreamWorld w;
  w.capture.frameStatus[w.wide] = platform::StreamFrameStatus::idle;
  w.stream.start(w.wide, 640);
  w.loop.advance(1.0);
  EXPECT_TRUE(w.stream.isStreaming());
  EXPECT_TRUE(w.frames.empty());
  w.stream.start(999, 640);
  w.loop.advance(1.0);
  EXPECT_FALSE(w.stream.isStreaming());
}

}  // namespace
}  // namespace velvix
