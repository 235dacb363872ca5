#pragma once
// The one settings window: made on first use (and again after the last one was closed, fresh, on
// the Appearance tab), then brought to the front with the application activated. It is one of the
// application's own windows on the desktop, 820 × 660 points, centred on the main screen; its
// content is the settings view, shown as a real window where that desktop window appears.
// Closing it, from its title bar or on the desktop (Command-W, the switcher), forgets it.

#include <memory>
#include <optional>

#include "Platform/Geometry.hpp"
#include "UI/AppWindow.hpp"
#include "UI/SettingsView.hpp"

namespace velvix {

namespace platform {
class Application;
class ScreenPlacement;
class Screens;
}  // namespace platform

class MRUManager;

class SettingsWindowController {
 public:
  static constexpr const char* kTitle = "Velvix Settings";
  static constexpr double kWidth = 820, kHeight = 660;
  // How often the shown window follows its desktop window (closed, minimised, back).
  static constexpr double kFollowInterval = 0.25;

  struct Collaborators {
    // The desktop window, as one of the program's own windows in the switcher.
    platform::Application& application;
    MRUManager& mru;
    const platform::Screens& screens;  // the window is centred on the main screen
    // The slot where the program puts the display's placement once it has a display, which may
    // be after this controller is made; read when the window is made, and while empty the window
    // is a window of its own.
    platform::ScreenPlacement* const& screenPlacement;
    // What the content shows and acts on; its loop and workspace serve the window too.
    SettingsView::Collaborators settings;
  };

  explicit SettingsWindowController(const Collaborators& collaborators);
  ~SettingsWindowController();
  SettingsWindowController(const SettingsWindowController&) = delete;
  SettingsWindowController& operator=(const SettingsWindowController&) = delete;

  void show();
  // What happens when the window is about to close: it is forgotten, and its view with it.
  void windowWillClose();

  AppWindow* window();
  // The content while the window exists.
  SettingsView* view();
  // Whether the real window is on the display now.
  bool isShownOnDisplay() const;

 private:
  struct Window;
  void follow();

  Collaborators uses_;
  std::unique_ptr<Window> window_;
};

}  // namespace velvix
