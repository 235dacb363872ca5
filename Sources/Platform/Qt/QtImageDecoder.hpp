#pragma once
// Image decoding for the real program through Qt's image readers (PNG, ICO, JPEG, GIF, BMP, ...),
// with a memory ceiling for whatever a file claims about itself.

#include "Platform/ImageDecoder.hpp"

namespace velvix::qt {

class QtImageDecoder final : public platform::ImageDecoder {
 public:
  // A picture that would need more than this to decode is refused outright.
  static constexpr int kAllocationLimitMiB = 64;

  std::optional<RGBAImage> decode(std::string_view bytes, int maxPixelSize) const override;
};

}  // namespace velvix::qt
