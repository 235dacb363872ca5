#pragma once
// A still of a window shown full size in a floating panel that never takes focus and lets every
// click through: exactly over the window's place when that is known, otherwise centred on a
// screen in 55 % of its visible area. It fades in and out over 0.12 s on the main loop; a show
// during a fade-out brings it back at once, and a fade-out that a show overtook never hides it
// (a generation counter). The Dock previews peek at windows with it. No Qt in this header.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Core/DockPanels.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/Screens.hpp"

namespace velvix {

namespace platform {
class MainLoop;
class ScreenPlacement;
}  // namespace platform

class WindowPeekPanel : public WindowPeekView {
 public:
  static constexpr double kFadeDuration = 0.12;
  static constexpr double kCornerRadius = 11;
  static constexpr double kBorderOpacity = 0.18;
  static constexpr double kAreaFraction = 0.55;
  static constexpr const char* kPanelName = "velvix.peek.panel";

  // The fades run on `loop`; a picture without usable bounds is centred on one of `screens`.
  // `screenPlacement` is the slot where the program puts the display's placement once it has a display, which
  // may be after this panel is made; it is read when the panel's window is first made, and while empty the
  // panel is a window of its own.
  WindowPeekPanel(platform::MainLoop& loop, const platform::Screens& screens,
                  platform::ScreenPlacement* const& screenPlacement);
  ~WindowPeekPanel() override;
  WindowPeekPanel(const WindowPeekPanel&) = delete;
  WindowPeekPanel& operator=(const WindowPeekPanel&) = delete;

  // Shows the picture over `windowBounds` (global, top-left origin, as the window server gives
  // them), or centred on `screen` (else the first screen) when the bounds are unusable.
  void show(const RGBAImage& image, const Rect& windowBounds,
            std::optional<platform::ScreenInfo> screen) override;
  // Replaces the picture shown, where it is (a sharper capture or a live frame of the same window).
  void setImage(const RGBAImage& image) override;
  // The picture shown last; none before the first show.
  const std::optional<RGBAImage>& image() const;
  // Fades out, then hides, unless a show comes first.
  void hide() override;
  // Gone at once.
  void hideImmediately() override;

  bool isVisible() const override;
  double alpha() const;
  std::optional<Rect> frame() const;
  std::uint64_t hideGeneration() const;

  // The window's own place, when it is more than a point each way and a screen exists.
  static std::optional<Rect> windowFrame(const Rect& windowBounds,
                                         const std::vector<platform::ScreenInfo>& screens);
  // The picture's aspect kept, in 55 % of the visible area of `screen` (else the first screen).
  static Rect centredFrame(Size image, const std::optional<platform::ScreenInfo>& screen,
                           const std::vector<platform::ScreenInfo>& screens);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velvix
