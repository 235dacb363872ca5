#include "Platform/RGBAImage.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velvix {

namespace {

bool validScale(double scale) {
  return std::isfinite(scale) && scale > 0;
}

bool validSize(int width, int height) {
  // Stay well inside what a byte offset can address.
  return width > 0 && height > 0 && static_cast<std::int64_t>(width) * height <= (std::int64_t{1} << 28);
}

std::shared_ptr<const std::uint8_t> share(std::vector<std::uint8_t> pixels) {
  auto owner = std::make_shared<const std::vector<std::uint8_t>>(std::move(pixels));
  return std::shared_ptr<const std::uint8_t>(owner, owner->data());
}

std::uint8_t premultiply(std::uint8_t channel, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((channel * alpha + 127) / 255);
}

// For each new pixel along one axis, the old pixels it covers and how much of each.
struct Tap {
  int source;
  double weight;
};

std::vector<std::vector<Tap>> coverage(int from, int to) {
  std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(to));
  const double ratio = static_cast<double>(from) / to;
  for (int i = 0; i < to; ++i) {
    const double begin = i * ratio;
    const double end = (i + 1) * ratio;
    double total = 0;
    for (int s = static_cast<int>(std::floor(begin)); s < std::min(from, static_cast<int>(std::ceil(end)));
         ++s) {
      const double w = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
      if (w <= 0) continue;
      taps[i].push_back({s, w});
      total += w;
    }
    for (auto& tap : taps[i]) tap.weight /= total;
  }
  return taps;
}

}  // namespace

std::optional<RGBAImage> RGBAImage::fromPremultiplied(int width, int height, std::vector<std::uint8_t> pixels,
                                                      double scale) {
  if (!validSize(width, height) || !validScale(scale)) return std::nullopt;
  const std::size_t stride = static_cast<std::size_t>(width) * kBytesPerPixel;
  if (pixels.size() != stride * height) return std::nullopt;
  return RGBAImage(share(std::move(pixels)), width, height, stride, scale);
}

std::optional<RGBAImage> RGBAImage::fromStraightAlpha(int width, int height, std::vector<std::uint8_t> pixels,
                                                      double scale) {
  for (std::size_t i = 0; i + 3 < pixels.size(); i += kBytesPerPixel)
    for (int c = 0; c < 3; ++c) pixels[i + c] = premultiply(pixels[i + c], pixels[i + 3]);
  return fromPremultiplied(width, height, std::move(pixels), scale);
}

std::optional<RGBAImage> RGBAImage::wrap(std::shared_ptr<const void> owner, const std::uint8_t* firstPixel,
                                         int width, int height, std::size_t bytesPerRow, double scale) {
  if (!owner || !firstPixel || !validSize(width, height) || !validScale(scale)) return std::nullopt;
  if (bytesPerRow < static_cast<std::size_t>(width) * kBytesPerPixel) return std::nullopt;
  return RGBAImage(std::shared_ptr<const std::uint8_t>(owner, firstPixel), width, height, bytesPerRow, scale);
}

RGBAImage RGBAImage::filled(int width, int height, RGBAPixel premultiplied, double scale) {
  if (!validSize(width, height)) return {};
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * kBytesPerPixel);
  for (std::size_t i = 0; i < pixels.size(); i += kBytesPerPixel) {
    pixels[i] = premultiplied.r;
    pixels[i + 1] = premultiplied.g;
    pixels[i + 2] = premultiplied.b;
    pixels[i + 3] = premultiplied.a;
  }
  return fromPremultiplied(width, height, std::move(pixels), validScale(scale) ? scale : 1.0)
      .value_or(RGBAImage());
}

RGBAPixel RGBAImage::pixel(int x, int y) const {
  if (isNull() || x < 0 || y < 0 || x >= width_ || y >= height_) return {};
  const std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * kBytesPerPixel;
  return {p[0], p[1], p[2], p[3]};
}

RGBAPixel RGBAImage::straightPixel(int x, int y) const {
  RGBAPixel p = pixel(x, y);
  if (p.a == 0 || p.a == 255) return p;
  auto unmultiply = [&](std::uint8_t c) {
    return static_cast<std::uint8_t>(std::min(255, (c * 255 + p.a / 2) / p.a));
  };
  return {unmultiply(p.r), unmultiply(p.g), unmultiply(p.b), p.a};
}

bool RGBAImage::samePixels(const RGBAImage& other) const {
  if (width_ != other.width_ || height_ != other.height_) return false;
  const std::size_t used = static_cast<std::size_t>(width_) * kBytesPerPixel;
  for (int y = 0; y < height_; ++y)
    if (std::memcmp(row(y), other.row(y), used) != 0) return false;
  return true;
}

RGBAImage RGBAImage::withScale(double scale) const {
  if (!validScale(scale)) return *this;
  RGBAImage copy = *this;
  copy.scale_ = scale;
  return copy;
}

std::optional<RGBAImage> RGBAImage::cropped(int x, int y, int width, int height) const {
  if (isNull()) return std::nullopt;
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, width_);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + height, height_);
  if (right <= left || bottom <= top) return std::nullopt;
  const std::uint8_t* first = row(static_cast<int>(top)) + left * kBytesPerPixel;
  return RGBAImage(std::shared_ptr<const std::uint8_t>(data_, first), static_cast<int>(right - left),
                   static_cast<int>(bottom - top), stride_, scale_);
}

std::optional<RGBAImage> RGBAImage::trimmingTransparentEdges() const {
  if (isNull()) return std::nullopt;
  auto opaque = [&](int x, int y) {
    return row(y)[static_cast<std::size_t>(x) * kBytesPerPixel + 3] > kTrimAlphaThreshold;
  };
  auto rowHasOpaque = [&](int y) {
    for (int x = 0; x < width_; ++x)
      if (opaque(x, y)) return true;
    return false;
  };
  int top = 0;
  while (top < height_ - 1 && !rowHasOpaque(top)) ++top;
  int bottom = height_ - 1;
  while (bottom > top && !rowHasOpaque(bottom)) --bottom;

  auto columnHasOpaque = [&](int x) {
    for (int y = top; y <= bottom; ++y)
      if (opaque(x, y)) return true;
    return false;
  };
  int left = 0;
  while (left < width_ - 1 && !columnHasOpaque(left)) ++left;
  int right = width_ - 1;
  while (right > left && !columnHasOpaque(right)) --right;

  const int w = right - left + 1;
  const int h = bottom - top + 1;
  if (w <= kTrimMinimumSide || h <= kTrimMinimumSide) return std::nullopt;
  if (w == width_ && h == height_) return *this;
  return cropped(left, top, w, h);
}

RGBAImage RGBAImage::scaled(int width, int height) const {
  if (isNull() || !validSize(width, height)) return {};
  if (width == width_ && height == height_) return *this;
  const auto across = coverage(width_, width);
  const auto down = coverage(height_, height);

  // Horizontal pass into floats, then the vertical pass into bytes.
  std::vector<double> wide(static_cast<std::size_t>(width) * height_ * kBytesPerPixel);
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* src = row(y);
    double* dst = &wide[static_cast<std::size_t>(y) * width * kBytesPerPixel];
    for (int x = 0; x < width; ++x)
      for (const Tap& tap : across[x])
        for (int c = 0; c < kBytesPerPixel; ++c)
          dst[x * kBytesPerPixel + c] += tap.weight * src[tap.source * kBytesPerPixel + c];
  }
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * kBytesPerPixel);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < kBytesPerPixel; ++c) {
        double sum = 0;
        for (const Tap& tap : down[y])
          sum += tap.weight * wide[(static_cast<std::size_t>(tap.source) * width + x) * kBytesPerPixel + c];
        out[(static_cast<std::size_t>(y) * width + x) * kBytesPerPixel + c] =
            static_cast<std::uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
      }
  return RGBAImage(share(std::move(out)), width, height, static_cast<std::size_t>(width) * kBytesPerPixel,
                   scale_);
}

RGBAImage RGBAImage::scaledToFit(int maxPixelWidth, int maxPixelHeight) const {
  if (isNull() || maxPixelWidth < 1 || maxPixelHeight < 1) return {};
  if (width_ <= maxPixelWidth && height_ <= maxPixelHeight) return *this;
  const std::int64_t w = width_, h = height_;
  // Whole-number arithmetic so that the constrained side lands exactly on its limit.
  if (w * maxPixelHeight >= h * maxPixelWidth)
    return scaled(maxPixelWidth, static_cast<int>(std::max<std::int64_t>(1, h * maxPixelWidth / w)));
  return scaled(static_cast<int>(std::max<std::int64_t>(1, w * maxPixelHeight / h)), maxPixelHeight);
}

}  // namespace velvix
