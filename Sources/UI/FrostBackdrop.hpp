#pragma once
// Making, sizing and tuning the frosted backdrop of borderless panels (the HUD and the microphone
// overlay). The panel owns the view; the fade is the view's mask, which the panel resizes on
// every layout through a key it keeps, so an unchanged size never rebuilds the mask image.

#include <optional>
#include <string>

#include "Platform/RGBAImage.hpp"
#include "UI/FrostBackdropView.hpp"
#include "UI/FrostedMaterial.hpp"

class QImage;
class QWidget;

namespace velvix {
namespace platform {
class AccessibilityDisplay;
}

class FrostBackdrop {
 public:
  static constexpr double kFeather = 6.0;
  // What tune() sets: a blur radius of 11, saturation 2.5, and the material's tint layers hidden.
  static constexpr FrostedMaterial::Tuning kTuned{11.0, 2.5, 0.0};

  struct Made {
    FrostBackdropView* view = nullptr;
    FrostBackdropView::Fade* fade = nullptr;
  };

  // A new backdrop view (owned by `parent` when given) with its fade installed as its mask.
  static Made make(const platform::AccessibilityDisplay& accessibility, QWidget* parent = nullptr);

  // The feathered rounded-rectangle alpha image (premultiplied white) of a size in points: the
  // rectangle inset by `feather`, with corners of max(cornerRadius − feather, 2) at most half its
  // shorter side, blurred with a sigma of feather / 2. Nothing when the size is under one point
  // either way, the inset rectangle is 4 points or less either way, or any value is not finite.
  static std::optional<RGBAImage> featheredMask(double width, double height, double cornerRadius,
                                                double feather);
  // The same image's coverage, one byte a pixel (QImage::Format_Alpha8); the null image for none.
  static QImage featheredCoverage(double width, double height, double cornerRadius, double feather);
  // White premultiplied pixels of a coverage image (alpha 8), each channel its coverage.
  static std::optional<RGBAImage> whiteOf(const QImage& coverage);

  // Sizes the fade to (0, 0, width, height) and rebuilds its image only when the whole-point size
  // or radius differs from `key` (which the caller keeps, initially empty).
  static void resize(FrostBackdropView::Fade& fade, double width, double height, double cornerRadius,
                     std::string& key);
  // "640x180r29": width, height and radius truncated to whole numbers.
  static std::string maskKey(double width, double height, double cornerRadius);

  // Strengthens the backdrop's blur and saturation and hides its tint; does nothing under Reduce
  // Transparency or without a view. Called each time the panel is shown.
  static void tune(FrostBackdropView* view);
};

}  // namespace velvix
