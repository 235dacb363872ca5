#pragma once
// The user's accessibility display options that drawing must honour: Reduce Transparency (glass
// and frosted materials become opaque, and nothing strengthens their blur) and Reduce Motion
// (decorative animation stops). Read when drawing; main thread.

namespace velvix::platform {

class AccessibilityDisplay {
 public:
  virtual ~AccessibilityDisplay() = default;
  virtual bool reduceTransparency() const = 0;
  virtual bool reduceMotion() const = 0;
};

}  // namespace velvix::platform
