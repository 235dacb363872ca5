#include "UI/SettingsStepper.hpp"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "UI/SettingsStyle.hpp"

namespace velvix {

SettingsStepper::SettingsStepper(int minimum, int maximum, int step, QWidget* parent)
    : QWidget(parent), minimum_(minimum), maximum_(maximum), step_(step) {
  auto* line = new QHBoxLayout(this);
  line->setContentsMargins(0, 0, 0, 0);
  line->setSpacing(6);
  label_ = new QLabel(this);
  label_->setFont(SettingsStyle::monospacedDigits(13));
  label_->setMinimumWidth(28);
  label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  line->addWidget(label_);
  down_ = new QToolButton(this);
  down_->setText(QStringLiteral("\u2212"));
  up_ = new QToolButton(this);
  up_->setText(QStringLiteral("+"));
  for (QToolButton* b : {down_, up_}) {
    b->setFixedSize(22, 20);
    b->setFocusPolicy(Qt::NoFocus);
    line->addWidget(b);
  }
  connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
  connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
  setValue(minimum);
}

void SettingsStepper::setValue(int value) {
  value_ = std::clamp(value, minimum_, maximum_);
  label_->setText(QString::number(value_));
  down_->setEnabled(value_ > minimum_);
  up_->setEnabled(value_ < maximum_);
}

void SettingsStepper::stepBy(int direction) {
  const int next = std::clamp(value_ + direction * step_, minimum_, maximum_);
  if (next == value_) return;
  setValue(next);
  if (onChange) onChange(next);
}

}  // namespace velvix
