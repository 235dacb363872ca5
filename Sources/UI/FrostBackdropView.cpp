#include "UI/FrostBackdropView.hpp"

#include <algorithm>

#include <QHash>
#include <QHideEvent>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include "Platform/AccessibilityDisplay.hpp"
#include "Platform/Qt/RowSlices.hpp"
#include "UI/BackdropBlur.hpp"
#include "UI/FrostBackdrop.hpp"

namespace velvix {

namespace {
constexpr float kDarkAppearanceDim = 0.45f;

// The pixels' identity: their size, format and every row's bytes (not the padding after them).
std::size_t fingerprintOf(const QImage& image) {
  std::size_t seed = qHashMulti(0, image.width(), image.height(), static_cast<int>(image.format()));
  const auto rowBytes = static_cast<std::size_t>((image.width() * image.depth() + 7) / 8);
  for (int y = 0; y < image.height(); ++y) seed = qHashBits(image.constScanLine(y), rowBytes, seed);
  return seed;
}
}  // namespace

void FrostBackdropView::Fade::setFrame(double width, double height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  owner_.changed();
}

const std::optional<RGBAImage>& FrostBackdropView::Fade::contents() const {
  if (contentsStale_) {
    // Made before the earlier one is let go, so a rebuilt image is never mistaken for the old.
    contents_ = coverage_.isNull() ? std::nullopt : FrostBackdrop::whiteOf(coverage_);
    contentsStale_ = false;
  }
  return contents_;
}

void FrostBackdropView::Fade::setCoverage(QImage coverage) {
  coverage_ = coverage.isNull() || coverage.format() == QImage::Format_Alpha8
                  ? std::move(coverage)
                  : coverage.convertToFormat(QImage::Format_Alpha8);
  contentsStale_ = true;
  owner_.changed();
}

FrostBackdropView::FrostBackdropView(const platform::AccessibilityDisplay& accessibility, QWidget* parent)
    : QWidget(parent), accessibility_(accessibility) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAutoFillBackground(false);
}

void FrostBackdropView::setCornerRadius(double radius) {
  cornerRadius_ = radius;
  update();
}

// The panel is shown again and again over the same desktop with the same tuning: only a change
// makes the frost layer again.
void FrostBackdropView::setTuning(FrostedMaterial::Tuning tuning) {
  if (tuning == material_.tuning()) return;
  material_.setTuning(tuning);
  changed();
}

void FrostBackdropView::setBackdrop(QImage beneath) {
  const bool same = hiddenBackdrop_ ? !beneath.isNull() && fingerprintOf(beneath) == *hiddenBackdrop_
                                    : beneath == backdrop_;
  // The same pixels keep the layer; the picture given now is kept all the same.
  backdrop_ = std::move(beneath);
  hiddenBackdrop_.reset();
  if (!same) changed();
}

void FrostBackdropView::releaseLayer() {
  if (isVisible()) return;
  layer_ = QImage();
  layerGeneration_ = 0;
}

// The picture beneath may read the desktop's screen itself (no copy of its own while shown). Once
// hidden, the view lets go of it on the loop's next turn (not inside the key press that hid it)
// and keeps only its fingerprint: the desktop may draw a new screen meanwhile, and the old one
// would stay in memory for this part of it, while a copy of the part would be as large as the
// layer itself and of no use to a show over other pixels (after a chord that brought another
// window forward). A show over the same pixels still keeps the layer.
void FrostBackdropView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (backdrop_.isNull() || hiddenBackdrop_) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (isVisible() || hiddenBackdrop_ || backdrop_.isNull()) return;
        hiddenBackdrop_ = fingerprintOf(backdrop_);
        backdrop_ = QImage();
      },
      Qt::QueuedConnection);
}

void FrostBackdropView::setCover(Cover cover, std::string key) {
  if (!cover) key.clear();
  if (key == coverKey_ && static_cast<bool>(cover) == static_cast<bool>(cover_)) return;
  cover_ = std::move(cover);
  coverKey_ = std::move(key);
  changed();
}

void FrostBackdropView::changed() {
  ++generation_;
  update();
}

void FrostBackdropView::drawFade(QPainter& painter) const {
  const QRectF frame(0, 0, fade_.width(), fade_.height());
  painter.fillRect(frame, QColor::fromRgbF(1, 1, 1, Fade::kBaseOpacity));
  if (!fade_.coverage().isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(frame, fade_.coverage());
  }
}

const QImage& FrostBackdropView::frostLayer(double devicePixelRatio) {
  const QSize pixels = (QSizeF(size()) * devicePixelRatio).toSize();
  const bool reduced = accessibility_.reduceTransparency();
  if (layerGeneration_ == generation_ && layer_.size() == pixels && layerReducedTransparency_ == reduced &&
      layer_.devicePixelRatio() == devicePixelRatio && layerCornerRadius_ == cornerRadius_)
    return layer_;
  // Only the mask's coverage counts: a byte a pixel, not four (a 2x screen's panel mask would
  // otherwise take 16 MB while the layer is made).
  QImage mask(pixels, QImage::Format_Alpha8);
  mask.setDevicePixelRatio(devicePixelRatio);
  mask.fill(Qt::transparent);  // outside the fade's frame nothing shows
  {
    QPainter p(&mask);
    drawFade(p);
  }
  layer_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
  layer_.setDevicePixelRatio(devicePixelRatio);
  layer_.fill(Qt::transparent);
  {
    QPainter p(&layer_);
    // The rounded corners are cut here, once, rather than by a clip path on every frame.
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath corners;
    corners.addRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
    p.setClipPath(corners);
    if (!backdrop_.isNull() && !reduced) {
      // What lies beneath, blurred and saturated, under the material's tint.
      const FrostedMaterial::Tuning& tuning = material_.tuning();
      const double pixelsPerPoint = backdrop_.width() / std::max(1.0, static_cast<double>(width()));
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      p.drawImage(QRectF(rect()),
                  BackdropBlur::frosted(backdrop_, tuning.blurRadius * pixelsPerPoint, tuning.saturation));
      // The dark appearance dims what shows through, so white text stays legible over bright
      // windows (the stand-in wash is as dim).
      p.fillRect(QRectF(rect()), QColor::fromRgbF(0, 0, 0, kDarkAppearanceDim));
      p.setOpacity(std::clamp(tuning.tintOpacity, 0.0, 1.0));
      p.fillRect(QRectF(rect()), FrostedMaterial::tint(material_.material()));
      p.setOpacity(1.0);
    } else {
      material_.paint(p, QRectF(rect()), reduced);
    }
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    p.drawImage(QPointF(0, 0), mask);
    if (cover_) {
      // Over the masked material, as the view above would draw it over the finished frost.
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      p.setClipping(false);
      cover_(p, QRectF(rect()), reduced);
    }
  }
  layerGeneration_ = generation_;
  ++layerBuilds_;
  layerReducedTransparency_ = reduced;
  layerCornerRadius_ = cornerRadius_;
  return layer_;
}

void FrostBackdropView::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  // The scale of the pixels painted into: a picture rendered at 2x paints through a widget whose
  // own ratio is the screen's, and a layer made at that ratio would be stretched on every frame.
  const QTransform device = p.deviceTransform();
  const double scale = device.type() <= QTransform::TxScale && device.m11() > 0
                           ? device.m11()
                           : p.device()->devicePixelRatioF();
  // Below one pixel a point the layer is made at one (an image's ratio is never below one) and the
  // painter scales it.
  const QImage& layer = frostLayer(std::max(1.0, scale));
  if (!qt::slicesExactly(p)) {
    p.drawImage(QPointF(0, 0), layer);
    return;
  }
  QRegion region = event->region();
  // A whole frame leaves out what opaque content above covers; a small repaint (a step of the
  // selection) is not worth the many more parts it would then have.
  const QRect bounds = region.boundingRect();
  if (covered_ && 2.0 * bounds.width() * bounds.height() > static_cast<double>(width()) * height())
    region -= covered_();
  for (const QRect& part : region) qt::paintInRowSlices(p, part, [&] { p.drawImage(QPointF(0, 0), layer); });
}

}  // namespace velvix
