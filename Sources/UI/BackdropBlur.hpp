#pragma once
// The backdrop layer of a glass material when the picture of what lies beneath the panel is
// known: that picture blurred with the material's blur radius and saturated by its saturation
// amount, as the platform's backdrop filters treat the pixels behind a window.

#include <QImage>

namespace velvix {

class BackdropBlur {
 public:
  // `beneath` blurred (radius in its pixels) and saturated, at its own size.
  static QImage frosted(const QImage& beneath, double blurRadius, double saturation);
};

}  // namespace velvix
