#pragma once
// The small floating card that shows one phase of the automatic Chromium extension set-up: a
// symbol, a title, a message and, once the run has ended without the extension, "Close" and
// "Try Again" (the default button). Dark, rounded, 400 points wide, never taking the focus from
// the browser being driven.

#include <functional>

#include <QWidget>

#include "UI/ChromeSetupPhase.hpp"

class QLabel;
class QProgressBar;
class QPushButton;

namespace velvix {

class ChromeSetupCard final : public QWidget {
 public:
  static constexpr int kWidth = 400;
  static constexpr int kCornerRadius = 18;
  static constexpr const char* kObjectName = "ChromeSetupCard";

  ChromeSetupCard();
  void setPhase(const ChromeSetupPhase& phase);
  const ChromeSetupPhase& phase() const { return phase_; }
  std::function<void()> onRetry;
  std::function<void()> onDismiss;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ChromeSetupPhase phase_;
  QProgressBar* progress_;
  QLabel* symbol_;
  QLabel* title_;
  QLabel* message_;
  QWidget* buttons_;
  QPushButton* close_;
  QPushButton* retry_;
};

}  // namespace velvix
