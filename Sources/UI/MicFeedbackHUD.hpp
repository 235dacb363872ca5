#pragma once
// The microphone overlay: after each press of the mic key, a small frosted square in the middle of
// the screen under the pointer with a microphone symbol and "Mic On" or "Mic Off". Each show
// restarts the symbol's bounce and the hide delay; 0.9 s later it fades out over 0.25 s, and a
// fade that a newer show overtook never hides the newer square (a generation counter). Times run
// on the main loop. One instance, main thread only. No Qt in this header.

#include <cstdint>
#include <memory>
#include <optional>

#include "Platform/Geometry.hpp"
#include "Platform/RGBAImage.hpp"
#include "Platform/Screens.hpp"

namespace velvix {

namespace platform {
class AccessibilityDisplay;
class DesktopPicture;
class MainLoop;
class ScreenPlacement;
}  // namespace platform

class MicFeedbackHUD {
 public:
  static constexpr double kSide = 170;
  static constexpr double kCornerRadius = 22;
  static constexpr double kHideDelay = 0.9;
  static constexpr double kFadeDuration = 0.25;
  // The bounce: from 0.72 back to 1.0 on a spring of response 0.26 s and damping fraction 0.5.
  static constexpr double kBounceFrom = 0.72;
  static constexpr double kSpringResponse = 0.26;
  static constexpr double kSpringDamping = 0.5;
  static constexpr const char* kPanelName = "velvix.mic.panel";
  static constexpr const char* kMutedText = "Mic Off";
  static constexpr const char* kUnmutedText = "Mic On";

  // The bounce and the fades run on `loop`; the square appears on the one of `screens` under the
  // pointer, its frost follows `accessibilityDisplay` and blurs `desktopPicture` beneath it where
  // there is one (none: the frost alone). `screenPlacement` is the slot where the program puts the display's
  // placement once it has a display, which may be after this panel is made; it is read when the panel's
  // window is first made, and while empty the panel is a window of its own.
  MicFeedbackHUD(platform::MainLoop& loop, const platform::Screens& screens,
                 const platform::AccessibilityDisplay& accessibilityDisplay,
                 const platform::DesktopPicture* desktopPicture,
                 platform::ScreenPlacement* const& screenPlacement);
  ~MicFeedbackHUD();
  MicFeedbackHUD(const MicFeedbackHUD&) = delete;
  MicFeedbackHUD& operator=(const MicFeedbackHUD&) = delete;

  // Shows the square for the new state; called on the main loop after each toggle.
  void show(bool muted);

  std::optional<bool> lastShown() const;
  bool isVisible() const;
  double alpha() const;
  double scale() const;               // of the symbol and text, during the bounce
  std::optional<Rect> frame() const;  // on the simulated screen
  std::uint64_t showGeneration() const;
  // The square as it looks now, at `pixelsPerPoint`; nothing before the first show.
  std::optional<RGBAImage> snapshot(double pixelsPerPoint = 2.0) const;

  // The square centred on the screen whose frame holds the pointer, else on the first screen.
  static std::optional<Rect> placement(const std::vector<platform::ScreenInfo>& screens, Point pointer);
  // The bounce's scale `seconds` after a show.
  static double bounceScale(double seconds);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velvix
