#pragma once
// A whole-number stepper as the settings panes use it: the current value in monospaced digits
// (at least 28 points wide, right-aligned) beside a minus and a plus button that step it within
// a range. It only reports a step; the owner stores the value and shows it again.

#include <functional>

#include <QWidget>

class QLabel;
class QToolButton;

namespace velvix {

class SettingsStepper final : public QWidget {
  Q_OBJECT

 public:
  SettingsStepper(int minimum, int maximum, int step, QWidget* parent = nullptr);

  void setValue(int value);
  int value() const { return value_; }
  // Called with the stepped value, already kept within the range.
  std::function<void(int)> onChange;
  QToolButton* decrementButton() const { return down_; }
  QToolButton* incrementButton() const { return up_; }

 private:
  void stepBy(int direction);

  int minimum_, maximum_, step_;
  int value_ = 0;
  QLabel* label_;
  QToolButton* down_;
  QToolButton* up_;
};

}  // namespace velvix
