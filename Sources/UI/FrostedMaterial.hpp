#pragma once
// The look of a translucent material in the dark appearance: a blurred, saturated view of what
// lies behind the window (the backdrop layer) under the material's tint.
//
// Stand-in: Qt gives a window no access to the pixels behind it, so the backdrop layer is drawn
// as a dim, slightly cool wash with a fine grain, as a heavily blurred desktop looks. Its
// saturation and blur radius act on that wash (more saturation, more colour; less blur, a finer
// and stronger grain), so tuning the material still changes what the user sees. Under Reduce
// Transparency the material is an opaque fill, as the platform draws it.

#include <QColor>

class QPainter;
class QRectF;

namespace velvix {

enum class GlassMaterial { menu, hudWindow, popover, underWindowBackground, ultraThin, thin, regular, thick };

class FrostedMaterial {
 public:
  struct Tuning {
    double blurRadius = 30;  // points
    double saturation = 1.8;
    double tintOpacity = 1.0;  // 0 hides the material's tint layers
    bool operator==(const Tuning&) const = default;
  };

  explicit FrostedMaterial(GlassMaterial material) : material_(material) {}
  FrostedMaterial(GlassMaterial material, Tuning tuning) : material_(material), tuning_(tuning) {}

  // Paints the material into `rect` (the caller clips it to its shape).
  void paint(QPainter& painter, const QRectF& rect, bool reduceTransparency) const;

  GlassMaterial material() const { return material_; }
  const Tuning& tuning() const { return tuning_; }
  void setTuning(Tuning tuning) { tuning_ = tuning; }

  // The material's tint over the backdrop, and the opaque colour that replaces both under Reduce
  // Transparency.
  static QColor tint(GlassMaterial material);
  static QColor opaqueFill(GlassMaterial material);

 private:
  GlassMaterial material_;
  Tuning tuning_;
};

}  // namespace velvix
