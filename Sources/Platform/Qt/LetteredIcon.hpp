#pragma once
// The look of an application icon when there is no picture for it: a rounded square with a soft
// gradient in a hue of its own and the first letter of the application's name in white,
// transparent around the square so a highlight behind it shows. The HUD's fallback icons and the
// simulated desktop's applications both use it.

#include <string>

#include <QImage>
#include <QString>

#include "Platform/RGBAImage.hpp"

namespace velvix::qt {

class LetteredIcon {
 public:
  static constexpr int kPixels = 128;

  static QImage draw(const QString& letter, int hue, int side = kPixels);
  // The hue of the n-th icon: any two of the first dozen differ by at least a tenth of the circle.
  static int hueOf(int ordinal);
  // The upper-case first letter or digit of a name ("?" for none).
  static QString letterOf(const std::string& name);
  // The icon of the application named `name`, the `ordinal`-th one drawn (at two pixels a point).
  static RGBAImage forApplication(const std::string& name, int ordinal);
  // A site icon file (PNG bytes, 64 pixels) for a web host: the letter of its first name that is
  // not "www", in a hue of the host's own.
  static std::string siteIconFile(const std::string& host);
};

}  // namespace velvix::qt
