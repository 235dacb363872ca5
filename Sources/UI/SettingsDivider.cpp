#include "UI/SettingsDivider.hpp"

#include <QPainter>

#include "UI/SettingsStyle.hpp"

namespace velvix {

SettingsDivider::SettingsDivider(QWidget* parent) : QWidget(parent) {
  setFixedHeight(1);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SettingsDivider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!isEnabled()) painter.setOpacity(SettingsStyle::kDisabledOpacity);
  QColor primary = palette().color(QPalette::Active, QPalette::WindowText);
  primary.setAlphaF(0.07f);
  painter.fillRect(rect(), primary);
}

}  // namespace velvix
