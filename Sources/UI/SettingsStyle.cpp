#include "UI/SettingsStyle.hpp"

#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

namespace velvix::SettingsStyle {

QFont font(double pointSize, QFont::Weight weight) {
  QFont f;
  f.setPixelSize(static_cast<int>(pointSize + 0.5));
  f.setWeight(weight);
  return f;
}

QFont monospacedDigits(double pointSize) {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPixelSize(static_cast<int>(pointSize + 0.5));
  return f;
}

QColor primary() { return QColor(235, 235, 240); }
QColor secondary() { return QColor(235, 235, 245, 153); }
QColor accent() { return QColor(10, 132, 255); }
QColor green() { return QColor(48, 209, 88); }

void makeSecondary(QWidget* widget) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, secondary());
  p.setColor(QPalette::Text, secondary());
  widget->setPalette(p);
}

}  // namespace velvix::SettingsStyle
