#include "Platform/Simulated/SimScreenCapture.hpp"

#include <cmath>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

void SimScreenCapture::shareableContent(ContentCompletion completion) {
  desktop_.loop().postAfter(desktop_.captureLatency, [this, completion = std::move(completion)] {
    if (desktop_.shareableContentFails) {
      completion(std::nullopt, "The user declined screen recording.");
      return;
    }
    std::vector<platform::ShareableWindow> windows;
    for (auto number : desktop_.stackingOrder()) {
      const SimWindow* w = desktop_.window(number);
      if (!w->shareable) continue;
      windows.push_back({w->number, w->bounds, w->title, w->owner});
    }
    completion(std::move(windows), {});
  });
}

void SimScreenCapture::screenshot(std::int64_t windowID, int width, int height, ImageCompletion completion) {
  desktop_.loop().postAfter(desktop_.captureLatency, [this, windowID, width, height, completion = std::move(completion)] {
    const SimWindow* w = desktop_.window(windowID);
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

}  // namespace velvix::sim
