#pragma once
// The set-up window, as far as the switcher core opens it: made on first use, rebuilt when the
// mode changes (first set-up or re-granting permissions), centred, with the application activated.
// Its steps come with the set-up window itself.

#include <memory>
#include <optional>

#include "UI/AppWindow.hpp"

namespace velvix {

enum class OnboardingMode { setup, regrant };

class OnboardingWindowController {
 public:
  explicit OnboardingWindowController(Services& services) : services_(services) {}
  void show(OnboardingMode mode);
  std::optional<OnboardingMode> mode() const { return mode_; }
  AppWindow* window() { return window_ && window_->isOpen() ? window_.get() : nullptr; }

 private:
  Services& services_;
  std::unique_ptr<AppWindow> window_;
  std::optional<OnboardingMode> mode_;
};

}  // namespace velvix
