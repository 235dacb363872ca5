#include "TestSupport/Screenshots.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QWidget>

namespace velvix::test {

namespace {

QImage blank(const QWidget& widget, double ratio) {
  QImage image((QSizeF(widget.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  return image;
}

// A colourful, busy field (sky, sun, stripes) that shows what translucent glass lets through.
void paintDesktop(QImage& image, const QSizeF& size) {
  QPainter p(&image);
  const QRectF all(QPointF(0, 0), size);
  QLinearGradient sky(all.topLeft(), all.bottomRight());
  sky.setColorAt(0, QColor(0.35 * 255, 0.62 * 255, 0.86 * 255));
  sky.setColorAt(1, QColor(0.20 * 255, 0.58 * 255, 0.62 * 255));
  p.fillRect(all, sky);
  QRadialGradient sun(all.center() + QPointF(all.width() / 4, -all.height() / 5), all.height() * 0.6);
  sun.setColorAt(0, QColor(255, 196, 120));
  sun.setColorAt(1, QColor(255, 196, 120, 0));
  p.fillRect(all, sun);
  p.setPen(QPen(QColor(255, 255, 255, 160), 3));
  for (double x = -all.height(); x < all.width(); x += 36)
    p.drawLine(QPointF(x, all.bottom()), QPointF(x + all.height(), 0));
}

}  // namespace

QImage renderTransparent(QWidget& widget, double devicePixelRatio) {
  QImage image = blank(widget, devicePixelRatio);
  widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

QImage renderOverDesktop(QWidget& widget, double devicePixelRatio) {
  QImage image = blank(widget, devicePixelRatio);
  paintDesktop(image, QSizeF(widget.size()));
  widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

QImage composeOverDesktop(const QImage& picture) {
  QImage image(picture.size(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(picture.devicePixelRatio());
  const QSizeF size = QSizeF(picture.size()) / picture.devicePixelRatio();
  paintDesktop(image, size);
  QPainter p(&image);
  p.drawImage(QRectF(QPointF(0, 0), size), picture);
  return image;
}

std::optional<std::filesystem::path> saveScreenshot(QWidget& widget, const std::string& name) {
  const QByteArray folder = qgetenv("VELVIX_SCREENSHOTS");
  if (folder.isEmpty()) return std::nullopt;
  std::filesystem::path dir(folder.toStdString());
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  const auto path = dir / (name + ".png");
  if (!renderOverDesktop(widget).save(QString::fromStdString(path.string()))) return std::nullopt;
  return path;
}

}  // namespace velvix::test
