#pragma once
// Screen capture of single windows: the list of windows that can be captured, one still of a
// window at a requested pixel size, and live streams of a window's frames. Answers arrive on any
// thread; failures carry the system's error text.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::platform {

struct ShareableWindow {
  std::int64_t windowID = 0;
  Rect frame;  // points
  std::optional<std::string> title;
  std::optional<Pid> owningPID;
};

// What a live stream of one window delivers, at most `frameRate` times a second.
struct WindowStreamConfiguration {
  int width = 2;  // pixels; the window is scaled to fit, keeping its aspect
  int height = 2;
  double frameRate = 10;
  int queueDepth = 3;
  bool showsCursor = false;
};

// Frames that carry no new picture say why: nothing changed (idle), the window shows nothing
// (blank), capture is suspended, or the stream is starting or ending.
enum class StreamFrameStatus { complete, idle, blank, suspended, started, stopped };

struct StreamFrame {
  StreamFrameStatus status = StreamFrameStatus::complete;
  std::optional<RGBAImage> image;  // nothing for an invalid sample
};

// A running stream. stop() ends the capture; frames already on their way may still arrive
// afterwards. Destroying a stream that was not stopped stops it.
class WindowStream {
 public:
  virtual ~WindowStream() = default;
  // The completion (any thread, may be empty) gets the error text, empty on success.
  virtual void stop(std::function<void(std::string error)> completion) = 0;
};

class ScreenCapture {
 public:
  using ContentCompletion =
      std::function<void(std::optional<std::vector<ShareableWindow>> windows, std::string error)>;
  using ImageCompletion = std::function<void(std::optional<RGBAImage> image, std::string error)>;
  using FrameHandler = std::function<void(StreamFrame frame)>;
  using StreamCompletion = std::function<void(std::shared_ptr<WindowStream> stream, std::string error)>;

  virtual ~ScreenCapture() = default;
  // Every window, on screen or not, desktop windows included.
  virtual void shareableContent(ContentCompletion completion) = 0;
  // One still of the window, `width` × `height` pixels, without the cursor.
  virtual void screenshot(std::int64_t windowID, int width, int height, ImageCompletion completion) = 0;
  // Starts a live stream of one window, independent of the desktop around it. `onFrame` gets
  // every frame, on any thread, until the stream stops; `completion` (any thread) gets the
  // running stream, or nothing and the error when it could not be set up or started.
  virtual void startWindowStream(std::int64_t windowID, const WindowStreamConfiguration& configuration,
                                 FrameHandler onFrame, StreamCompletion completion) = 0;
};

}  // namespace velvix::platform
