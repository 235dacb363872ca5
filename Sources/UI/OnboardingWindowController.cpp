#include "UI/OnboardingWindowController.hpp"

#include <algorithm>

#include <QApplication>

#include "Core/Preferences.hpp"
#include "Platform/Application.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Screens.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "UI/OnboardingModel.hpp"
#include "UI/OnboardingView.hpp"
#include "UI/PanelWindow.hpp"
#include "UI/WindowGlassBackdrop.hpp"

namespace velvix {

OnboardingWindowController::OnboardingWindowController(const Collaborators& collaborators)
    : uses_(collaborators) {}

OnboardingWindowController::~OnboardingWindowController() {
  timer_.invalidate();
  followTimer_.invalidate();
  if (window_) window_->onClose = {};
  dropView();
}

Size OnboardingWindowController::contentSize(OnboardingMode mode, std::optional<double> visibleHeight) {
  const double preferred = mode == OnboardingMode::setup ? 700 : 520;
  const double screenHeight = visibleHeight.value_or(preferred + 80);
  return {kWidth, std::min(screenHeight - 60, preferred)};
}

void OnboardingWindowController::show(OnboardingMode mode) {
  // The same mode on a window that is still open is only brought forward.
  if (!window() || !model_ || mode_ != mode) build(mode);
  uses_.application.activate(true);
  window_->makeKeyAndOrderFront();
  if (panel_) {
    panel_->show();
    panel_->window().setFocus(Qt::ActiveWindowFocusReason);
  }
}

void OnboardingWindowController::build(OnboardingMode mode) {
  mode_ = mode;
  const auto screens = uses_.screens.screens();
  const std::optional<Rect> visible =
      screens.empty() ? std::nullopt : std::optional(screens.front().visibleFrame);
  const Size size = contentSize(mode, visible ? std::optional(visible->height) : std::nullopt);
  frame_ = {0, 0, size.width, size.height};
  if (visible) {
    frame_.x = visible->midX() - size.width / 2;
    frame_.y = visible->midY() - size.height / 2;
  }
  // The window's title goes with the mode, so another mode gets a new window.
  if (window_) {
    window_->onClose = {};
    window_->close();
  }
  dropView();
  window_ = std::make_unique<AppWindow>(uses_.application, uses_.workspace, uses_.mru, uses_.steps.loop,
                                        mode == OnboardingMode::setup ? "Velvix Setup" : "Velvix Permissions",
                                        frame_);
  window_->onClose = [this] { windowWillClose(); };
  model_ = std::make_unique<OnboardingModel>(uses_.steps, mode);
  model_->developerIDSigned = developerIDSigned;
  model_->refresh();
  timer_ = uses_.steps.loop.every(
      kRefreshInterval, [this] { tick(); }, platform::TimerMode::Common);
  followTimer_ = uses_.steps.loop.every(
      kFollowInterval, [this] { follow(); }, platform::TimerMode::Common);

  // The program draws the window when it runs with Qt; the switcher core works without it.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  QWidget* glass = new WindowGlassBackdrop(GlassMaterial::underWindowBackground, uses_.accessibilityDisplay);
  auto view = std::make_unique<OnboardingView>(*model_, glass);
  view_ = view.get();
  WindowGlassBackdrop::applyDarkGlass(view_);
  auto watch = alive_.watch();
  view_->onDone = [this, watch] {
    if (!watch.expired()) finish();
  };
  view_->onClose = [this, watch] {
    // The title bar's close button: the window closes as with Command-W, on the loop's next turn
    // (the view must not be deleted inside its own close event).
    uses_.steps.loop.post([this, watch] {
      if (!watch.expired() && window()) window_->close();
    });
  };
  panel_ =
      std::make_unique<PanelWindow>(std::move(view), uses_.screenPlacement, qt::SimScreenLayer::kNormalLevel);
  panel_->place(frame_);
  panel_->setWindowNumber(window_->number());
}

void OnboardingWindowController::tick() {
  if (!model_) return;
  model_->refresh();
  if (view_) view_->update();
}

// The desktop window is the truth: minimised there, the window is not on the screen.
void OnboardingWindowController::follow() {
  if (!panel_ || !window()) return;
  bool miniaturized = false;
  for (const auto& w : uses_.application.windows())
    if (w.number == window_->number()) miniaturized = w.miniaturized;
  if (miniaturized && panel_->isVisible()) panel_->hide();
  if (!miniaturized && !panel_->isVisible()) panel_->show();
}

void OnboardingWindowController::finish() {
  uses_.preferences.hasCompletedOnboarding.set(true);
  if (window()) window_->close();
}

// The shell and editor consent questions wait for this window: whenever it closes with onboarding
// complete they are asked again at a later turn (each decides whether it is still needed), so a
// set-up finished in a second visit still brings them.
void OnboardingWindowController::windowWillClose() {
  timer_.invalidate();
  followTimer_.invalidate();
  dropView();
  model_.reset();
  Preferences& preferences = uses_.preferences;
  if (mode_ == OnboardingMode::setup && !preferences.hasCompletedOnboarding.get() &&
      uses_.steps.privacy.accessibilityTrusted(false) && uses_.steps.privacy.listenEventPreflight())
    preferences.hasCompletedOnboarding.set(true);
  if (!preferences.hasCompletedOnboarding.get()) return;
  uses_.vscodeKeybindings.consentQuestion().schedule();
  uses_.terminalIntegration.scheduleConsent();
}

void OnboardingWindowController::dropView() {
  if (!panel_) return;
  view_->onClose = {};
  view_->onDone = {};
  panel_->hide();
  view_ = nullptr;
  // The view may be inside one of its own handlers: it goes on the loop's next turn.
  std::shared_ptr<PanelWindow> closing(panel_.release());
  uses_.steps.loop.post([closing] {});
}

}  // namespace velvix
