#pragma once
// The set-up window's content: header, the step rows (status symbol, title, detail, and a button
// while the step is not done), the restart row, the manual load steps, and "Done". It draws what
// an OnboardingModel says and rebuilds its rows whenever the model's status changed.

#include <functional>
#include <optional>

#include <QWidget>

#include "UI/OnboardingModel.hpp"

class QLabel;
class QVBoxLayout;

namespace velvix {

class OnboardingView final : public QWidget {
 public:
  static constexpr const char* kObjectName = "OnboardingView";
  static constexpr const char* kDoneName = "OnboardingDone";
  static constexpr const char* kRestartName = "OnboardingRestart";

  // `glass` is where the glass backdrop reads the system's display options, when there is one.
  OnboardingView(OnboardingModel& model, QWidget* glass = nullptr, QWidget* parent = nullptr);

  // Shows the model's current status; rows are rebuilt only when it changed.
  void update();
  std::function<void()> onDone;
  // The window's own close button.
  std::function<void()> onClose;

  // The glyph that stands for a step's symbol.
  static QString glyph(const std::string& symbol);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void rebuild();

  OnboardingModel& model_;
  QWidget* glass_;
  QLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
  QWidget* stepsHost_ = nullptr;
  QVBoxLayout* steps_ = nullptr;
  std::optional<OnboardingStatus> shown_;
};

}  // namespace velvix
