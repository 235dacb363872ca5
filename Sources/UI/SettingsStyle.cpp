#include "UI/SettingsStyle.hpp"

#include <QFontDatabase>
#include <QPalette>
#include <QScrollBar>
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

QColor primary() {
  return QColor(235, 235, 240);
}
QColor secondary() {
  return QColor(235, 235, 245, 153);
}
QColor accent() {
  return QColor(10, 132, 255);
}
QColor green() {
  return QColor(48, 209, 88);
}

void makeSecondary(QWidget* widget) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, secondary());
  p.setColor(QPalette::Text, secondary());
  widget->setPalette(p);
}

void makeGlassScrollBar(QScrollBar* bar) {
  bar->setStyleSheet(
      "QScrollBar:vertical { background: transparent; width: 10px; margin: 0; }"
      "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 64); border-radius: 3px;"
      " min-height: 32px; margin: 2px; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }");
}

}  // namespace velvix::SettingsStyle
