#pragma once
// Puts the switcher HUD on screen: a floating panel that never takes focus, on the screen under
// the pointer, sized from the largest base size at which every entry fits (one row of icons, or a
// grid of window pictures whose widths and stills are frozen while the HUD shows a list), with
// the frost behind it tuned to its size. In thumbnail mode it streams the window of the list's
// first entry (the window being left) live into that entry's cell. The chord session shows,
// updates and hides it and works on its model. No Qt in this header; main thread only.

#include <memory>
#include <optional>
#include <vector>

#include "Core/SwitchableItem.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/Screens.hpp"
#include "UI/AppIconProvider.hpp"
#include "UI/HUDMetrics.hpp"

namespace velvix {

namespace platform {
class AccessibilityDisplay;
class DesktopPicture;
class MainLoop;
class Privacy;
class ScreenCapture;
class ScreenPlacement;
}  // namespace platform

class BadgeStore;
class FaviconStore;
class HUDModel;
class Preferences;
class RunningApps;
class ThumbnailStore;
class WindowList;

class HUDController {
 public:
  // The panel's content is inset by this much on every side (the frost's feathered edge).
  static constexpr double kPanelInset = 12;
  // The panel's centre sits this fraction of the visible height below the visible area's middle.
  static constexpr double kCentreDrop = 0.021;
  static constexpr double kLivePreviewWidth = 640;
  // Seconds the hidden HUD's frost keeps its picture.
  static constexpr double kFrostKeptAfterHide = 2;
  static constexpr const char* kPanelName = "velvix.hud.panel";

  // What the HUD is drawn from and placed with.
  struct Collaborators {
    platform::MainLoop& loop;
    const Preferences& preferences;    // the size preset, the glass, thumbnails on or off
    const platform::Privacy& privacy;  // whether Screen Recording is granted
    const platform::Screens& screens;  // the screen under the pointer
    const platform::AccessibilityDisplay& accessibilityDisplay;
    const ThumbnailStore& thumbnails;        // the stills of the window pictures
    platform::ScreenCapture& screenCapture;  // the live picture of the window being left
    RunningApps& runningApps;                // a tab's browser, for the window it streams
    const WindowList& windowList;            // that browser's front window
    BadgeStore& badges;
    FaviconStore& favicons;
    // What lies beneath the frost; none where nothing can say it (the frost is drawn alone).
    const platform::DesktopPicture* desktopPicture;
    // The slot where the program puts the display's placement once it has a display, which may
    // be after the HUD is made; read when the panel is first made, and while empty the panel is
    // a window of its own.
    platform::ScreenPlacement* const& screenPlacement;
  };

  explicit HUDController(const Collaborators& collaborators);
  ~HUDController();
  HUDController(const HUDController&) = delete;
  HUDController& operator=(const HUDController&) = delete;

  // Opens (or refits and refreshes) the HUD for a list.
  void show(const std::vector<SwitchableItem>& items, int selectedIndex);
  // Replaces the list of an open HUD; mode, style, hover and the live preview stay.
  void update(const std::vector<SwitchableItem>& items, int selectedIndex);
  void hide();

  HUDModel& model();
  bool isVisible() const;
  // The point (global, top-left origin) lies inside the visible panel.
  bool panelContains(Point globalTopLeft) const;

  void setAppIconProvider(AppIconProvider provider);
  // The panel's frame (global, top-left origin); nothing before the first show.
  std::optional<Rect> panelFrame() const;
  // The panel drawn offscreen as it looks now, at the given backing scale; nothing before the
  // first show.
  std::optional<RGBAImage> snapshot(double scale = 2.0) const;

  // The first screen whose frame holds the pointer, else the first screen, else none.
  static std::optional<platform::ScreenInfo> targetScreen(const std::vector<platform::ScreenInfo>& screens,
                                                          Point pointer);
  // A panel of `size` centred across the visible frame, its centre kCentreDrop of the visible
  // height below the middle.
  static Rect placement(HUDMetrics::Size size, const Rect& visibleFrame);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velvix
