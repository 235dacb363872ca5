#include "Platform/Qt/SimDesktopPicture.hpp"

#include <cmath>

#include <QImage>
#include <QPainter>

#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopPainter.hpp"
#include "Platform/Simulated/SimDesktopScene.hpp"

namespace velvix::qt {

std::optional<RGBAImage> SimDesktopPicture::beneath(const Rect& frame, double scale) const {
  const int width = static_cast<int>(std::ceil(frame.width * scale));
  const int height = static_cast<int>(std::ceil(frame.height * scale));
  if (!(scale > 0) || width < 1 || height < 1 || width > 16384 || height > 16384) return std::nullopt;
  const auto scene = sim::SimDesktopScene::build(desktop_);
  QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
  image.fill(Qt::black);
  {
    QPainter painter(&image);
    const QPointF origin((scene.screen.x - frame.x) * scale, (scene.screen.y - frame.y) * scale);
    SimDesktopPainter::paint(painter, desktop_, scene, origin, scale);
  }
  return fromQImage(image);
}

}  // namespace velvix::qt
