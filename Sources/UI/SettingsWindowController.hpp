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

namespace velvix {

struct Services;
class SettingsView;

class SettingsWindowController {
 public:
  static constexpr const char* kTitle = "Velvix Settings";
  static constexpr double kWidth = 820, kHeight = 660;
  // How often the shown window follows its desktop window (closed, minimised, back).
  static constexpr double kFollowInterval = 0.25;

  explicit SettingsWindowController(Services& services);
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

  Services& services_;
  std::unique_ptr<Window> window_;
};

}  // namespace velvix
