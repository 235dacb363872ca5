#include "Platform/Qt/SimDesktopPicture.hpp"

#include <cmath>

#include <QPainter>

#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopPainter.hpp"
#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::qt {

void SimDesktopPicture::remember(const sim::SimDesktopScene& scene, const QImage& screen,
                                 double pixelsPerPoint, const std::vector<std::int64_t>& composed) const {
  if (screen.isNull() || !(pixelsPerPoint > 0)) return;
  scene_ = scene;
  revision_ = desktop_.revision();
  composed_ = composed;
  screen_ = screen;
  pixelsPerPoint_ = pixelsPerPoint;
}

std::optional<RGBAImage> SimDesktopPicture::beneath(const Rect& frame, double scale) const {
  const int width = static_cast<int>(std::ceil(frame.width * scale));
  const int height = static_cast<int>(std::ceil(frame.height * scale));
  if (!(scale > 0) || width < 1 || height < 1 || width > 16384 || height > 16384) return std::nullopt;
  // The scene is worked out again only when the desktop changed since the screen was drawn.
  const bool moved = desktop_.revision() != revision_;
  std::optional<sim::SimDesktopScene> now;
  if (moved) now = sim::SimDesktopScene::build(desktop_);
  const sim::SimDesktopScene& scene = now ? *now : scene_;
  // A screen drawn coarser than asked for is drawn again: the picture would be blurred.
  if (screen_.isNull() || (now && !(*now == scene_)) || pixelsPerPoint_ < scale * 0.5) {
    const int screenWidth = static_cast<int>(std::ceil(scene.screen.width * scale));
    const int screenHeight = static_cast<int>(std::ceil(scene.screen.height * scale));
    if (screenWidth < 1 || screenHeight < 1 || screenWidth > 16384 || screenHeight > 16384)
      return std::nullopt;
    QImage screen(screenWidth, screenHeight, QImage::Format_RGBA8888_Premultiplied);
    screen.fill(Qt::black);
    {
      QPainter painter(&screen);
      SimDesktopPainter::paint(painter, desktop_, scene, QPointF(0, 0), scale, composed_);
    }
    remember(scene, screen, scale, composed_);
  } else if (now) {
    revision_ = desktop_.revision();  // the same scene: the screen drawn still shows it
  }
  // At the screen's own pixels the picture is a crop sharing the screen's memory, not a second
  // copy of the same pixels. Panels sit on whole pixels (their frames are rounded where they are
  // placed), so the crop starts at the whole pixel nearest the frame.
  const double s = pixelsPerPoint_;
  if (s == scale && screen_.format() == QImage::Format_RGBA8888_Premultiplied && frame.width * s == width &&
      frame.height * s == height) {
    const long left = std::lround((frame.x - scene_.screen.x) * s);
    const long top = std::lround((frame.y - scene_.screen.y) * s);
    if (left >= 0 && top >= 0 && left + width <= screen_.width() && top + height <= screen_.height())
      if (auto whole = fromQImage(screen_))
        return whole->cropped(static_cast<int>(left), static_cast<int>(top), width, height);
  }
  QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
  image.fill(Qt::black);  // off the screen
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF source((frame.x - scene_.screen.x) * s, (frame.y - scene_.screen.y) * s, frame.width * s,
                        frame.height * s);
    painter.drawImage(QRectF(0, 0, frame.width * scale, frame.height * scale), screen_, source);
  }
  return fromQImage(image);
}

}  // namespace velvix::qt
