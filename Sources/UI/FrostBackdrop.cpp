#include "UI/FrostBackdrop.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <utility>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "Platform/AccessibilityDisplay.hpp"

namespace velvix {

namespace {

// How many frost masks are kept, by size (see resize).
constexpr std::size_t kKeptMasks = 3;

// Far beyond any screen; keeps a corrupt size from asking for gigabytes.
constexpr double kLargestMaskSide = 16384;

long long truncated(double value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<long long>(std::clamp(value, -9.0e15, 9.0e15));
}

// Gaussian blur of one 8-bit channel with zeros outside the image, as a blur of a picture on a
// transparent field and cropped back to the picture's rectangle.
std::vector<std::uint8_t> blurred(const std::vector<std::uint8_t>& alpha, int width, int height,
                                  double sigma) {
  if (sigma < 0.1) return alpha;
  const int radius = static_cast<int>(std::ceil(3 * sigma));
  std::vector<double> kernel(static_cast<std::size_t>(2 * radius + 1));
  double sum = 0;
  for (int i = -radius; i <= radius; ++i)
    sum += kernel[static_cast<std::size_t>(i + radius)] = std::exp(-(i * i) / (2 * sigma * sigma));
  for (double& k : kernel) k /= sum;

  std::vector<double> across(alpha.size());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double v = 0;
      for (int i = std::max(-radius, -x); i <= std::min(radius, width - 1 - x); ++i)
        v +=
            kernel[static_cast<std::size_t>(i + radius)] * alpha[static_cast<std::size_t>(y) * width + x + i];
      across[static_cast<std::size_t>(y) * width + x] = v;
    }
  std::vector<std::uint8_t> out(alpha.size());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double v = 0;
      for (int i = std::max(-radius, -y); i <= std::min(radius, height - 1 - y); ++i)
        v += kernel[static_cast<std::size_t>(i + radius)] *
             across[static_cast<std::size_t>(y + i) * width + x];
      out[static_cast<std::size_t>(y) * width + x] =
          static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    }
  return out;
}

}  // namespace

FrostBackdrop::Made FrostBackdrop::make(const platform::AccessibilityDisplay& accessibility,
                                        QWidget* parent) {
  auto* view = new FrostBackdropView(accessibility, parent);
  return {view, &view->fade()};
}

std::optional<RGBAImage> FrostBackdrop::featheredMask(double width, double height, double cornerRadius,
                                                      double feather) {
  const QImage coverage = featheredCoverage(width, height, cornerRadius, feather);
  if (coverage.isNull()) return std::nullopt;
  return whiteOf(coverage);
}

QImage FrostBackdrop::featheredCoverage(double width, double height, double cornerRadius, double feather) {
  if (!std::isfinite(width) || !std::isfinite(height) || !std::isfinite(cornerRadius) ||
      !std::isfinite(feather))
    return {};
  if (width < 1 || height < 1 || width > kLargestMaskSide || height > kLargestMaskSide) return {};
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  const QRectF inner = QRectF(0, 0, w, h).adjusted(feather, feather, -feather, -feather);
  if (inner.width() <= 4 || inner.height() <= 4) return {};
  const double radius =
      std::min(std::min(inner.width(), inner.height()) / 2, std::max(cornerRadius - feather, 2.0));

  QImage shape(w, h, QImage::Format_Alpha8);
  shape.fill(0);
  {
    QPainter p(&shape);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRoundedRect(inner, radius, radius);
    p.fillPath(path, Qt::white);
  }
  std::vector<std::uint8_t> alpha(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    std::copy_n(shape.constScanLine(y), w, alpha.begin() + static_cast<std::ptrdiff_t>(y) * w);
  alpha = blurred(alpha, w, h, feather * 0.5);
  for (int y = 0; y < h; ++y)
    std::copy_n(alpha.begin() + static_cast<std::ptrdiff_t>(y) * w, w, shape.scanLine(y));
  return shape;
}

std::optional<RGBAImage> FrostBackdrop::whiteOf(const QImage& coverage) {
  if (coverage.isNull() || coverage.format() != QImage::Format_Alpha8) return std::nullopt;
  const int w = coverage.width();
  const int h = coverage.height();
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
  auto out = pixels.begin();
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = coverage.constScanLine(y);
    for (int x = 0; x < w; ++x, out += 4) std::fill_n(out, 4, row[x]);
  }
  return RGBAImage::fromPremultiplied(w, h, std::move(pixels));
}

std::string FrostBackdrop::maskKey(double width, double height, double cornerRadius) {
  return std::to_string(truncated(width)) + "x" + std::to_string(truncated(height)) + "r" +
         std::to_string(truncated(cornerRadius));
}

void FrostBackdrop::resize(FrostBackdropView::Fade& fade, double width, double height, double cornerRadius,
                           std::string& key) {
  fade.setFrame(width, height);
  std::string next = maskKey(width, height, cornerRadius);
  if (next == key) return;
  key = next;
  // The masks made last, by key: the panels come back at the sizes they had (the HUD at each
  // size it fits its items to), and blurring a mask as large as the screen takes long. The cache
  // keeps the last few, each one byte a point.
  static std::deque<std::pair<std::string, QImage>> made;
  auto found = std::find_if(made.begin(), made.end(), [&](const auto& entry) { return entry.first == next; });
  if (found == made.end()) {
    made.emplace_front(std::move(next), featheredCoverage(width, height, cornerRadius, kFeather));
    if (made.size() > kKeptMasks) made.pop_back();
    found = made.begin();
  }
  fade.setCoverage(found->second);
}

void FrostBackdrop::tune(FrostBackdropView* view) {
  if (!view || view->accessibility().reduceTransparency()) return;
  view->setTuning(kTuned);
}

}  // namespace velvix
