#include "UI/SettingsDivider.hpp"

#include <QPainter>

namespace velvix {

SettingsDivider::SettingsDivider(QWidget* parent) : QWidget(parent) {
  setFixedHeight(1);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SettingsDivider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QColor primary = palette().color(QPalette::WindowText);
  primary.setAlphaF(0.07f);
  painter.fillRect(rect(), primary);
}

}  // namespace velvix
