#include "UI/AppIconImages.hpp"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "Platform/Qt/QtImageConversion.hpp"

namespace velvix {

namespace {

// The application's name as the bundle id suggests it: its last component.
QString letterOf(const std::string& bundleID) {
  const auto dot = bundleID.rfind('.');
  const QString last = QString::fromStdString(dot == std::string::npos ? bundleID : bundleID.substr(dot + 1));
  return last.isEmpty() ? QStringLiteral("?") : last.left(1).toUpper();
}

}  // namespace

QImage AppIconImages::icon(const std::string& bundleID, std::optional<platform::Pid> pid) {
  if (provider_) {
    const auto key = std::make_pair(bundleID, pid);
    if (auto kept = provided_.find(key); kept != provided_.end()) return kept->second;
    if (auto image = provider_(bundleID, pid); image && !image->isNull()) {
      QImage given = qt::toQImage(*image);
      if (auto before = previous_.find(key); before != previous_.end() && before->second == given)
        given = before->second;
      return provided_.emplace(key, given).first->second;
    }
  }
  auto found = fallbacks_.find(bundleID);
  if (found == fallbacks_.end()) found = fallbacks_.emplace(bundleID, fallback(bundleID)).first;
  return found->second;
}

QImage AppIconImages::fallback(const std::string& bundleID) {
  const int side = kFallbackPixels;
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  const auto hue = static_cast<int>(std::hash<std::string>{}(bundleID) % 360);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The shape and margin of an application icon: a rounded square inset by a tenth.
  const QRectF body(side * 0.1, side * 0.1, side * 0.8, side * 0.8);
  QPainterPath shape;
  shape.addRoundedRect(body, side * 0.18, side * 0.18);
  QLinearGradient fill(body.topLeft(), body.bottomLeft());
  fill.setColorAt(0, QColor::fromHsv(hue, 120, 235));
  fill.setColorAt(1, QColor::fromHsv(hue, 200, 170));
  p.fillPath(shape, fill);
  p.strokePath(shape, QPen(QColor(255, 255, 255, 70), side * 0.012));
  QFont font;
  font.setPixelSize(static_cast<int>(side * 0.44));
  font.setWeight(QFont::DemiBold);
  p.setFont(font);
  p.setPen(QColor(255, 255, 255, 235));
  p.drawText(body, Qt::AlignCenter, letterOf(bundleID));
  return image;
}

}  // namespace velvix
