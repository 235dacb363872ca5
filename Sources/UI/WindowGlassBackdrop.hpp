#pragma once
// The dark, see-through glass of the settings and set-up windows: a backdrop view of a material
// behind the window, and the window dressing that lets it show (dark appearance, no opaque
// window background, title bar and title kept).

#include <QWidget>

#include "UI/FrostedMaterial.hpp"

namespace velvix {
namespace platform {
class AccessibilityDisplay;
}

class WindowGlassBackdrop final : public QWidget {
 public:
  WindowGlassBackdrop(GlassMaterial material, const platform::AccessibilityDisplay& accessibility,
                      QWidget* parent = nullptr);

  GlassMaterial material() const { return material_.material(); }
  // Set again on every update of the view that hosts it.
  void setMaterial(GlassMaterial material);

  // Dresses a top-level window for a glass backdrop: dark palette, translucent window background,
  // content drawn over a clear background. Title bar and title stay as they are.
  static void applyDarkGlass(QWidget* window);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  FrostedMaterial material_;
  const platform::AccessibilityDisplay& accessibility_;
};

}  // namespace velvix
