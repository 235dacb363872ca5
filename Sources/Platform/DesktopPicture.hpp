#pragma once
// What the screen shows under a part of it, as a picture, so a glass panel can blur what lies
// beneath it. A real window server does that blending itself; a program drawing its own panels
// over a desktop it draws knows the picture and hands it over here.

#include <optional>

#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"

namespace velvix::platform {

class DesktopPicture {
 public:
  virtual ~DesktopPicture() = default;
  // The screen under `frame` (screen points), `scale` pixels per point; nothing when unknown.
  virtual std::optional<RGBAImage> beneath(const Rect& frame, double scale) const = 0;
};

}  // namespace velvix::platform
