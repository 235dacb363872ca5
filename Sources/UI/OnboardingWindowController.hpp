#pragma once
// The one set-up window, in two modes: first set-up (permissions and browser extensions) and
// re-granting permissions the system dropped. Made on first use, rebuilt when the mode changes,
// refreshed every 1.5 s while open; "Done" (or closing it with the two keyboard permissions in
// place, in set-up mode) records that onboarding is complete. Main loop only.

#include <memory>
#include <optional>

#include "Platform/Geometry.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/AliveToken.hpp"
#include "UI/AppWindow.hpp"

namespace velvix {

struct Services;
class PanelWindow;

enum class OnboardingMode { setup, regrant };

class OnboardingModel;
class OnboardingView;

class OnboardingWindowController {
 public:
  static constexpr double kRefreshInterval = 1.5;
  // How often the shown window follows its desktop window (minimised, back).
  static constexpr double kFollowInterval = 0.25;
  static constexpr double kWidth = 560;

  explicit OnboardingWindowController(Services& services);
  ~OnboardingWindowController();
  OnboardingWindowController(const OnboardingWindowController&) = delete;
  OnboardingWindowController& operator=(const OnboardingWindowController&) = delete;

  void show(OnboardingMode mode);
  // The "Done" button.
  void finish();

  std::optional<OnboardingMode> mode() const { return mode_; }
  AppWindow* window() { return window_ && window_->isOpen() ? window_.get() : nullptr; }
  // What the open window shows; null while closed.
  OnboardingModel* model() { return window() ? model_.get() : nullptr; }
  // The window's Qt content, when the program draws one (a Qt application exists).
  OnboardingView* view() { return window() ? view_ : nullptr; }
  // The window's frame on the simulated screen.
  Rect frame() const { return frame_; }
  // 560 wide; as high as the mode wants (700 set-up, 520 re-grant) but 60 below the visible height.
  static Size contentSize(OnboardingMode mode, std::optional<double> visibleHeight);

  // A distribution-signed build words the Safari step without the local-build advice.
  bool developerIDSigned = false;

 private:
  void build(OnboardingMode mode);
  void tick();
  void follow();
  void windowWillClose();
  void dropView();

  Services& services_;
  std::unique_ptr<AppWindow> window_;
  std::unique_ptr<OnboardingModel> model_;
  // The window on the simulated screen, its content the view.
  std::unique_ptr<PanelWindow> panel_;
  OnboardingView* view_ = nullptr;
  std::optional<OnboardingMode> mode_;
  Rect frame_;
  platform::Timer timer_;
  platform::Timer followTimer_;  // the shown window follows its desktop window
  AliveToken alive_;
};

}  // namespace velvix
