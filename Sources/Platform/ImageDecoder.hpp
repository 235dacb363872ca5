#pragma once
// Turns the bytes of an image file (PNG, ICO, JPEG, GIF, ...) into pixels. The bytes may come
// from anywhere on the web, so a picture that declares itself larger than the caller needs is
// decoded scaled down, and one that would take unreasonable memory is refused.

#include <optional>
#include <string_view>

#include "Platform/RGBAImage.hpp"

namespace velvix::platform {

class ImageDecoder {
 public:
  virtual ~ImageDecoder() = default;
  // Nothing for bytes that are no valid image (or an empty one). The result fits in
  // maxPixelSize × maxPixelSize, keeping its aspect ratio; its backing scale is 1.
  virtual std::optional<RGBAImage> decode(std::string_view bytes, int maxPixelSize) const = 0;
};

}  // namespace velvix::platform
