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
#include "UI/OnboardingModel.hpp"

namespace velvix {

namespace platform {
class AccessibilityDisplay;
class Application;
class ScreenPlacement;
class Screens;
class Workspace;
}  // namespace platform

class MRUManager;
class PanelWindow;
class TerminalIntegrationInstaller;
class VSCodeKeybindingsInstaller;

enum class OnboardingMode { setup, regrant };

class OnboardingView;

class OnboardingWindowController {
 public:
  static constexpr double kRefreshInterval = 1.5;
  // How often the shown window follows its desktop window (minimised, back).
  static constexpr double kFollowInterval = 0.25;
  static constexpr double kWidth = 560;

  struct Collaborators {
    // The desktop window, as one of the program's own windows in the switcher.
    platform::Application& application;
    platform::Workspace& workspace;
    MRUManager& mru;
    const platform::Screens& screens;                            // the window is centred on the main screen
    const platform::AccessibilityDisplay& accessibilityDisplay;  // its glass
    // The slot where the program puts the display's placement once it has a display, which may
    // be after this controller is made; read when the window is made, and while empty the window
    // is a window of its own.
    platform::ScreenPlacement* const& screenPlacement;
    Preferences& preferences;  // onboarding completed
    // The consent questions that wait for the window to close.
    VSCodeKeybindingsInstaller& vscodeKeybindings;
    TerminalIntegrationInstaller& terminalIntegration;
    // What the steps read and do; its loop runs the refresh, and its privacy tells at the close
    // whether the keyboard permissions are in place.
    OnboardingModel::Collaborators steps;
  };

  explicit OnboardingWindowController(const Collaborators& collaborators);
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

  Collaborators uses_;
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
