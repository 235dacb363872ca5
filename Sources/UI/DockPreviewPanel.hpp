#pragma once
// The floating panel of window cards shown just above an application's Dock icon: one card per
// window (its still, or a window symbol without one; the title under it; a close button while
// the pointer is on it; a badge for a minimized window). It never takes focus but takes clicks;
// a card reports hover, select and close through callbacks. The owner (the Dock controller) makes
// it once, shows it with each new list of windows and hides it. Main thread; no Qt in this header.
//
// Geometry is in the simulated screen's coordinates (top-left origin, y downwards): the panel
// sits 6 points above the icon, centred on it, kept 8 points inside the visible frame of the
// screen that holds the icon.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Core/DockPanels.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/Screens.hpp"

namespace velvix {

namespace platform {
class AccessibilityDisplay;
class MainLoop;
class ScreenPlacement;
}  // namespace platform

class DockPreviewPanel : public DockCardsView {
 public:
  static constexpr const char* kPanelName = "velvix.dock.previews";
  static constexpr double kCardHeight = 150;
  static constexpr double kMinCardWidth = 92;
  static constexpr double kNoImageCardWidth = 225;
  static constexpr double kMaxCardWidth = 253;
  static constexpr double kCardSpacing = 12;
  static constexpr double kInset = 12;        // around the row of cards
  static constexpr double kTitleSpacing = 5;  // between a card and its title
  static constexpr double kTitleHeight = 16;
  static constexpr double kTitleFontSize = 11;
  static constexpr double kIconGap = 6;  // between the icon's top and the panel
  static constexpr double kScreenMargin = 8;
  static constexpr double kSlideDistance = 14;  // the slide-in comes up from this far below
  static constexpr double kSlideDuration = 0.14;
  static constexpr double kCornerRadius = 12;

  using Preview = DockCard;

  // The slide runs on `loop`; the panel is kept inside one of `screens` and its material follows
  // `accessibilityDisplay`. `screenPlacement` is the slot where the program puts the display's placement once
  // it has a display, which may be after this panel is made; it is read when the panel's window is first
  // made, and while empty the panel is a window of its own.
  DockPreviewPanel(platform::MainLoop& loop, const platform::Screens& screens,
                   const platform::AccessibilityDisplay& accessibilityDisplay,
                   platform::ScreenPlacement* const& screenPlacement);
  ~DockPreviewPanel() override;
  DockPreviewPanel(const DockPreviewPanel&) = delete;
  DockPreviewPanel& operator=(const DockPreviewPanel&) = delete;

  // onHover (from DockCardsView) is called with a card's window number when the pointer comes
  // onto it, and with none when it leaves it.
  // Replaces the cards and places the panel above `icon`. With `animated`, a panel that is not
  // up yet slides up 14 points and fades in over 0.14 s; otherwise it is there at once.
  void show(const std::vector<Preview>& previews, const Rect& icon, bool animated,
            std::function<void(std::int64_t)> onSelect, std::function<void(std::int64_t)> onClose) override;
  // Ordered out at once.
  void hide() override;

  bool isVisible() const override;
  // Where the panel is now on the simulated screen (moving while it slides in); none before the
  // first show.
  std::optional<Rect> frame() const override;
  double alpha() const;
  // The panel drawn at `scale` pixels per point, for pictures of it.
  std::optional<RGBAImage> snapshot(double scale) const;

  // A card's width: 150 points high at the still's aspect, 92 to 253 points wide; 225 without one.
  static double cardWidth(const std::optional<Size>& image);
  // The panel around a row of cards of these widths, with their titles.
  static Size panelSize(const std::vector<double>& cardWidths);
  // Centred 6 points above the icon, clamped into the visible frame of the first screen that
  // the icon touches (else the first screen), 8 points in; the right edge wins on a narrow screen.
  static Rect placement(Size panel, const Rect& icon, const std::vector<platform::ScreenInfo>& screens);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velvix
