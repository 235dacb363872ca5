#include "UI/OnboardingWindowController.hpp"

#include "Core/Services.hpp"
#include "Platform/Application.hpp"
#include "Platform/Screens.hpp"

namespace velvix {

void OnboardingWindowController::show(OnboardingMode mode) {
  const bool rebuild = !window_ || !window_->isOpen() || mode_ != mode;
  mode_ = mode;
  if (rebuild) {
    // Centred on the main screen.
    Rect frame{0, 0, 640, 520};
    auto screens = services_.screens->screens();
    if (!screens.empty()) {
      const Rect& visible = screens.front().visibleFrame;
      frame.x = visible.midX() - frame.width / 2;
      frame.y = visible.midY() - frame.height / 2;
    }
    window_.reset();
    window_ = std::make_unique<AppWindow>(
        services_, mode == OnboardingMode::setup ? "Welcome to Velvix" : "Velvix needs your permission again", frame);
  }
  services_.application->activate(true);
  window_->makeKeyAndOrderFront();
}

}  // namespace velvix
