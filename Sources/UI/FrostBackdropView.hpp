#pragma once
// The frosted backdrop behind a borderless panel (the HUD, the microphone overlay): the menu
// material behind the window, clipped to the panel's rounded corners and faded towards its edges
// by a mask whose image follows the panel's size. FrostBackdrop makes, sizes and tunes it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QImage>
#include <QRectF>
#include <QRegion>
#include <QWidget>

#include "Platform/RGBAImage.hpp"
#include "UI/FrostedMaterial.hpp"

class QPainter;

namespace velvix {
namespace platform {
class AccessibilityDisplay;
}

class FrostBackdropView final : public QWidget {
 public:
  // The mask over the backdrop: a plain layer of white at 60 % with the feathered image drawn over
  // it, so the backdrop is 60 % visible where the image is clear and whole where it is white.
  // Outside its frame (0, 0, width, height) nothing of the backdrop shows; before the first
  // sizing the frame is empty. The image is white, so only its coverage is kept: a byte a pixel.
  class Fade {
   public:
    static constexpr double kBaseOpacity = 0.6;

    double width() const { return width_; }
    double height() const { return height_; }
    // The feathered image as white premultiplied pixels, made when first asked for after a
    // change (drawing uses the coverage itself); nothing without one.
    const std::optional<RGBAImage>& contents() const;
    // One byte of coverage a pixel (QImage::Format_Alpha8); the null image for none.
    const QImage& coverage() const { return coverage_; }
    void setFrame(double width, double height);
    void setCoverage(QImage coverage);

   private:
    friend class FrostBackdropView;
    explicit Fade(FrostBackdropView& owner) : owner_(owner) {}
    FrostBackdropView& owner_;
    double width_ = 0;
    double height_ = 0;
    QImage coverage_;
    mutable std::optional<RGBAImage> contents_;
    mutable bool contentsStale_ = false;
  };

  explicit FrostBackdropView(const platform::AccessibilityDisplay& accessibility, QWidget* parent = nullptr);

  Fade& fade() { return fade_; }
  const platform::AccessibilityDisplay& accessibility() const { return accessibility_; }

  // The corner radius of the view's own rounded clip (its layer's corner radius).
  void setCornerRadius(double radius);
  double cornerRadius() const { return cornerRadius_; }

  const FrostedMaterial& material() const { return material_; }
  // The picture of what lies beneath the view, when the desktop can give it: the backdrop layer
  // then blurs and saturates it as the material is tuned. Nothing: the material's stand-in wash.
  void setBackdrop(QImage beneath);
  const QImage& backdrop() const { return backdrop_; }
  void setTuning(FrostedMaterial::Tuning tuning);
  // What the view just above it draws first, over the whole of its rectangle (the HUD glass's
  // veil): drawn into the frost layer once, over the masked material, so a frame blends one
  // layer rather than two over the whole panel. `key` names everything the drawing depends on
  // but the rectangle and Reduce Transparency; another key makes the layer again. Null: none.
  using Cover = std::function<void(QPainter&, const QRectF&, bool reduceTransparency)>;
  void setCover(Cover cover, std::string key);
  // The part of the view (its coordinates) that opaque content above it covers on the next frame:
  // a whole frame of the frost leaves it out, as nothing of it would show there. Null: none.
  void setCovered(std::function<QRegion()> covered) { covered_ = std::move(covered); }
  // How many times the frost layer was made: a repaint over an unchanged desktop makes none.
  std::uint64_t layerBuilds() const { return layerBuilds_; }
  bool holdsLayer() const { return !layer_.isNull(); }
  // Lets the frost's picture go while the view is hidden; the next show draws it again.
  void releaseLayer();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // The material masked by the fade at the view's size, redrawn only when something changed, so
  // repaints caused by animation above the backdrop cost one image copy.
  const QImage& frostLayer(double devicePixelRatio);
  void drawFade(QPainter& painter) const;
  void changed();

  const platform::AccessibilityDisplay& accessibility_;
  FrostedMaterial material_{GlassMaterial::menu};
  double cornerRadius_ = 0;
  Fade fade_{*this};
  QImage backdrop_;
  // Hidden: the fingerprint of the pixels the layer was made over, which the view no longer holds.
  std::optional<std::size_t> hiddenBackdrop_;
  Cover cover_;
  std::function<QRegion()> covered_;
  std::string coverKey_;
  QImage layer_;
  std::uint64_t generation_ = 1;
  std::uint64_t layerGeneration_ = 0;
  bool layerReducedTransparency_ = false;
  double layerCornerRadius_ = -1;
  std::uint64_t layerBuilds_ = 0;
};

}  // namespace velvix
