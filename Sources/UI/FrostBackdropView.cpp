#include "UI/FrostBackdropView.hpp"

#include <QPainter>
#include <QPainterPath>

#include "Platform/AccessibilityDisplay.hpp"
#include "Platform/Qt/QtImageConversion.hpp"

namespace velvix {

void FrostBackdropView::Fade::setFrame(double width, double height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  owner_.fadeChanged();
}

void FrostBackdropView::Fade::setContents(std::optional<RGBAImage> contents) {
  contents_ = std::move(contents);
  owner_.fadeChanged();
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

void FrostBackdropView::setTuning(FrostedMaterial::Tuning tuning) {
  material_.setTuning(tuning);
  update();
}

void FrostBackdropView::fadeChanged() {
  ++fadeGeneration_;
  update();
}

const QImage& FrostBackdropView::maskImage(double devicePixelRatio) {
  const QSize pixels = (QSizeF(size()) * devicePixelRatio).toSize();
  if (maskGeneration_ == fadeGeneration_ && mask_.size() == pixels) return mask_;
  mask_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
  mask_.setDevicePixelRatio(devicePixelRatio);
  mask_.fill(Qt::transparent);
  QPainter p(&mask_);
  const QRectF frame(0, 0, fade_.width(), fade_.height());
  p.fillRect(frame, QColor::fromRgbF(1, 1, 1, Fade::kBaseOpacity));
  if (fade_.contents()) {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(frame, qt::toQImage(fade_.contents()->withScale(1.0)));
  }
  maskGeneration_ = fadeGeneration_;
  return mask_;
}

void FrostBackdropView::paintEvent(QPaintEvent*) {
  const double ratio = devicePixelRatioF();
  QImage layer((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
  layer.setDevicePixelRatio(ratio);
  layer.fill(Qt::transparent);
  {
    QPainter lp(&layer);
    material_.paint(lp, QRectF(rect()), accessibility_.reduceTransparency());
    lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    lp.drawImage(QPointF(0, 0), maskImage(ratio));
  }
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath clip;
  clip.addRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
  p.setClipPath(clip);
  p.drawImage(QPointF(0, 0), layer);
}

}  // namespace velvix
