#include "Platform/Qt/LetteredIcon.hpp"

#include <cmath>

#include <QBuffer>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "Platform/Qt/QtImageConversion.hpp"

namespace velvix::qt {

QImage LetteredIcon::draw(const QString& letter, int hue, int side) {
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
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
  p.drawText(body, Qt::AlignCenter, letter);
  return image;
}

int LetteredIcon::hueOf(int ordinal) {
  // Steps of the golden angle spread any run of neighbours over the circle; the start is a blue.
  return static_cast<int>(std::lround(210 + 137.508 * ordinal)) % 360;
}

QString LetteredIcon::letterOf(const std::string& name) {
  for (QChar c : QString::fromStdString(name))
    if (c.isLetterOrNumber()) return QString(c.toUpper());
  return QStringLiteral("?");
}

RGBAImage LetteredIcon::forApplication(const std::string& name, int ordinal) {
  QImage image = draw(letterOf(name), hueOf(ordinal));
  image.setDevicePixelRatio(2.0);
  return fromQImage(image).value_or(RGBAImage());
}

std::string LetteredIcon::siteIconFile(const std::string& host) {
  std::string name = host.starts_with("www.") ? host.substr(4) : host;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  draw(letterOf(name), static_cast<int>(std::hash<std::string>{}(host) % 360), 64).save(&buffer, "PNG");
  return bytes.toStdString();
}

}  // namespace velvix::qt
