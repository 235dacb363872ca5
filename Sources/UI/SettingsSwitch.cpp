#include "UI/SettingsSwitch.hpp"

#include <QPainter>

#include "UI/SettingsStyle.hpp"

namespace velvix {

SettingsSwitch::SettingsSwitch(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setCursor(Qt::PointingHandCursor);
  setFixedSize(sizeHint());
  setFocusPolicy(Qt::NoFocus);
}

void SettingsSwitch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // Disabled by itself or with the group around it, it is drawn dimmed, as the group's texts are.
  if (!isEnabled()) painter.setOpacity(SettingsStyle::kDisabledOpacity);
  const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
  const double radius = track.height() / 2;
  painter.setPen(Qt::NoPen);
  painter.setBrush(isChecked() ? SettingsStyle::accent() : QColor(255, 255, 255, 46));
  painter.drawRoundedRect(track, radius, radius);
  const double knob = track.height() - 4;
  const double x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
  painter.setBrush(Qt::white);
  painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}

}  // namespace velvix
