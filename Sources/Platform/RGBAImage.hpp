#pragma once
// An immutable picture in memory: 8-bit RGBA pixels with premultiplied alpha (bytes R, G, B, A in
// that order, rows top to bottom), its size in pixels and the backing scale that turns pixels into
// points. The pixel memory is shared and never written once the image exists, so copies, crops and
// the UI's QImage wrappers cost no pixel copy.
//
// Premultiplied, because that is what compositing and averaging want: a transparent pixel adds
// nothing to an average, so scaled edges never pick up the colour of invisible pixels.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace velvix {

struct RGBAPixel {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const RGBAPixel&) const = default;
};

class RGBAImage {
 public:
  static constexpr int kBytesPerPixel = 4;
  // A pixel counts as opaque for trimming when its alpha byte is above this.
  static constexpr std::uint8_t kTrimAlphaThreshold = 8;
  // A trimmed area must be wider and taller than this, or the picture is left untrimmed.
  static constexpr int kTrimMinimumSide = 16;

  // The null image: no pixels, zero size.
  RGBAImage() = default;

  // Premultiplied pixels, tightly packed (width × 4 bytes per row). Nothing when the sizes do not
  // match the buffer or the scale is not a positive finite number.
  static std::optional<RGBAImage> fromPremultiplied(int width, int height, std::vector<std::uint8_t> pixels,
                                                    double scale = 1.0);
  // Straight (unassociated) alpha pixels, premultiplied on the way in.
  static std::optional<RGBAImage> fromStraightAlpha(int width, int height, std::vector<std::uint8_t> pixels,
                                                    double scale = 1.0);
  // Pixel memory that someone else owns, kept alive by `owner` for as long as any image uses it.
  // The memory must not change afterwards.
  static std::optional<RGBAImage> wrap(std::shared_ptr<const void> owner, const std::uint8_t* firstPixel,
                                       int width, int height, std::size_t bytesPerRow, double scale = 1.0);
  static RGBAImage filled(int width, int height, RGBAPixel premultiplied, double scale = 1.0);

  bool isNull() const { return !data_; }
  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  std::size_t bytesPerRow() const { return stride_; }
  double scale() const { return scale_; }
  // The size in points: pixels divided by the backing scale.
  double pointWidth() const { return width_ / scale_; }
  double pointHeight() const { return height_ / scale_; }

  // First byte of row `y`; the shared handle keeps the memory alive for wrappers.
  const std::uint8_t* row(int y) const { return data_.get() + static_cast<std::size_t>(y) * stride_; }
  const std::uint8_t* bits() const { return data_.get(); }
  std::shared_ptr<const std::uint8_t> sharedBits() const { return data_; }

  // Premultiplied value; transparent outside the image.
  RGBAPixel pixel(int x, int y) const;
  // The colour with alpha divided out (what a colour picker would show).
  RGBAPixel straightPixel(int x, int y) const;
  bool samePixels(const RGBAImage& other) const;

  // The same pixels at another backing scale (so another point size).
  RGBAImage withScale(double scale) const;
  // The part inside the given pixel rectangle, clipped to the image; shares the pixel memory.
  // Nothing when nothing of the rectangle lies inside.
  std::optional<RGBAImage> cropped(int x, int y, int width, int height) const;
  // The box around the opaque pixels (alpha above 8): the image itself when it has no transparent
  // margin, the cropped part when that box is more than 16 pixels in both directions, otherwise
  // nothing, so that a near-empty or fully transparent capture is kept as it came.
  std::optional<RGBAImage> trimmingTransparentEdges() const;

  // Resampled to exactly width × height by area averaging (each new pixel is the coverage-weighted
  // mean of the old pixels under it); meant for shrinking. Keeps the backing scale.
  RGBAImage scaled(int width, int height) const;
  // Shrunk to fit inside maxWidth × maxHeight pixels keeping the aspect ratio; the constrained side
  // gets the limit and the other the integer part of its share, at least 1. Never enlarged.
  RGBAImage scaledToFit(int maxPixelWidth, int maxPixelHeight) const;

 private:
  RGBAImage(std::shared_ptr<const std::uint8_t> data, int width, int height, std::size_t stride, double scale)
      : data_(std::move(data)), width_(width), height_(height), stride_(stride), scale_(scale) {}

  std::shared_ptr<const std::uint8_t> data_;
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  double scale_ = 1.0;
};

}  // namespace velvix
