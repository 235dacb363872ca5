#pragma once
// Screen capture of single windows: the list of windows that can be captured, one still of a
// window at a requested pixel size, and live streams of a window's frames. Answers arrive on any
// thread; failures carry the system's error text.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Geometry.hpp"
#include "Platform/Workspace.hpp"
#include "Support/RGBAImage.hpp"

namespace velvix::platform {

struct ShareableWindow {
  std::int64_t windowID = 0;
  Rect frame;  // points
  std::optional<std::string> title;
  std::optional<Pid> owningPID;
};

class ScreenCapture {
 public:
  using ContentCompletion = std::function<void(std::optional<std::vector<ShareableWindow>> windows, std::string error)>;
  using ImageCompletion = std::function<void(std::optional<RGBAImage> image, std::string error)>;

  virtual ~ScreenCapture() = default;
  // Every window, on screen or not, desktop windows included.
  virtual void shareableContent(ContentCompletion completion) = 0;
  // One still of the window, `width` × `height` pixels, without the cursor.
  virtual void screenshot(std::int64_t windowID, int width, int height, ImageCompletion completion) = 0;
};

}  // namespace velvix::platform
