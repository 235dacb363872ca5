#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Platform/RGBAImage.hpp"

namespace velvix {
namespace {

constexpr RGBAPixel kClear{0, 0, 0, 0};
constexpr RGBAPixel kRed{255, 0, 0, 255};
constexpr RGBAPixel kBlue{0, 0, 255, 255};

// A transparent canvas with an opaque rectangle painted on it, as a window capture with a shadow
// margin looks.
RGBAImage canvasWithBox(int width, int height, int x, int y, int w, int h, RGBAPixel colour = kRed) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4, 0);
  for (int row = y; row < y + h; ++row)
    for (int col = x; col < x + w; ++col) {
      auto* p = &pixels[(static_cast<std::size_t>(row) * width + col) * 4];
      p[0] = colour.r, p[1] = colour.g, p[2] = colour.b, p[3] = colour.a;
    }
  return *RGBAImage::fromPremultiplied(width, height, std::move(pixels));
}

TEST(RGBAImage, PointSizeIsPixelSizeOverTheBackingScale) {
  auto retina = RGBAImage::filled(960, 600, kBlue, 2.0);
  EXPECT_EQ(retina.pixelWidth(), 960);
  EXPECT_DOUBLE_EQ(retina.pointWidth(), 480);
  EXPECT_DOUBLE_EQ(retina.pointHeight(), 300);
  auto flat = retina.withScale(1.0);
  EXPECT_DOUBLE_EQ(flat.pointWidth(), 960);
  EXPECT_EQ(flat.bits(), retina.bits());  // same pixels, no copy
}

TEST(RGBAImage, RejectsBuffersThatDoNotMatchTheirSizeOrScale) {
  EXPECT_FALSE(RGBAImage::fromPremultiplied(2, 2, std::vector<std::uint8_t>(15)));
  EXPECT_FALSE(RGBAImage::fromPremultiplied(0, 2, {}));
  EXPECT_FALSE(RGBAImage::fromPremultiplied(1, 1, std::vector<std::uint8_t>(4), 0.0));
  EXPECT_FALSE(RGBAImage::fromPremultiplied(1, 1, std::vector<std::uint8_t>(4), std::nan("")));
  EXPECT_TRUE(RGBAImage().isNull());
}

TEST(RGBAImage, StraightAlphaIsPremultipliedOnTheWayInAndBackOnRequest) {
  auto image = RGBAImage::fromStraightAlpha(1, 1, {255, 64, 0, 128});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixel(0, 0), (RGBAPixel{128, 32, 0, 128}));
  EXPECT_EQ(image->straightPixel(0, 0), (RGBAPixel{255, 64, 0, 128}));
  EXPECT_EQ(image->pixel(5, 0), kClear);  // outside
}

TEST(RGBAImage, WrapsForeignMemoryAndKeepsItAlive) {
  auto owner = std::make_shared<std::vector<std::uint8_t>>(
      std::vector<std::uint8_t>{1, 2, 3, 255, 4,  5,  6,  255, 99, 99,  // row 0 plus two padding bytes
                                7, 8, 9, 255, 10, 11, 12, 255, 99, 99});
  auto image = RGBAImage::wrap(owner, owner->data(), 2, 2, 10);
  ASSERT_TRUE(image);
  std::weak_ptr<std::vector<std::uint8_t>> watch = owner;
  owner.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(image->pixel(1, 1), (RGBAPixel{10, 11, 12, 255}));
  *image = RGBAImage();
  EXPECT_TRUE(watch.expired());

  auto tooNarrow = std::make_shared<std::vector<std::uint8_t>>(8);
  EXPECT_FALSE(RGBAImage::wrap(tooNarrow, tooNarrow->data(), 2, 1, 7));
}

TEST(RGBAImage, CropClipsToTheImageAndSharesItsPixels) {
  auto image = canvasWithBox(40, 30, 10, 5, 20, 10);
  auto part = image.cropped(10, 5, 20, 10);
  ASSERT_TRUE(part);
  EXPECT_EQ(part->pixelWidth(), 20);
  EXPECT_EQ(part->pixel(0, 0), kRed);
  EXPECT_EQ(part->bits(), image.row(5) + 10 * 4);

  auto overhanging = image.cropped(30, 20, 50, 50);
  ASSERT_TRUE(overhanging);
  EXPECT_EQ(overhanging->pixelWidth(), 10);
  EXPECT_EQ(overhanging->pixelHeight(), 10);
  EXPECT_FALSE(image.cropped(40, 0, 5, 5));
  EXPECT_FALSE(image.cropped(-10, -10, 10, 10));
}

TEST(RGBAImage, TrimCutsTransparentMarginsAroundTheOpaqueBox) {
  // A 100 × 80 capture whose window occupies 30 × 20 pixels at (12, 7).
  auto capture = canvasWithBox(100, 80, 12, 7, 30, 20);
  auto trimmed = capture.trimmingTransparentEdges();
  ASSERT_TRUE(trimmed);
  EXPECT_EQ(trimmed->pixelWidth(), 30);
  EXPECT_EQ(trimmed->pixelHeight(), 20);
  EXPECT_EQ(trimmed->pixel(0, 0), kRed);
  EXPECT_EQ(trimmed->pixel(29, 19), kRed);
  EXPECT_EQ(trimmed->bits(), capture.row(7) + 12 * 4);
}

TEST(RGBAImage, TrimTreatsAlphaEightAsTransparentAndNineAsOpaque) {
  auto faint = canvasWithBox(60, 60, 5, 5, 40, 40);
  auto withHalo = [&](std::uint8_t alpha) {
    std::vector<std::uint8_t> pixels(faint.bits(), faint.bits() + 60 * 60 * 4);
    pixels[3] = alpha;  // the top-left corner pixel
    return *RGBAImage::fromPremultiplied(60, 60, std::move(pixels));
  };
  auto eight = withHalo(8).trimmingTransparentEdges();
  ASSERT_TRUE(eight);
  EXPECT_EQ(eight->pixelWidth(), 40);
  auto nine = withHalo(9).trimmingTransparentEdges();
  ASSERT_TRUE(nine);
  EXPECT_EQ(nine->pixelWidth(), 45);  // from column 0 to the box's right edge at 44
  EXPECT_EQ(nine->pixelHeight(), 45);
}

TEST(RGBAImage, TrimNeedsMoreThanSixteenPixelsEachWay) {
  EXPECT_FALSE(canvasWithBox(50, 50, 3, 3, 16, 30).trimmingTransparentEdges());
  EXPECT_FALSE(canvasWithBox(50, 50, 3, 3, 30, 16).trimmingTransparentEdges());
  auto justEnough = canvasWithBox(50, 50, 3, 3, 17, 17).trimmingTransparentEdges();
  ASSERT_TRUE(justEnough);
  EXPECT_EQ(justEnough->pixelWidth(), 17);
  // Fully transparent: the scan settles on the last row, one pixel high, so nothing.
  EXPECT_FALSE(RGBAImage::filled(50, 50, kClear).trimmingTransparentEdges());
}

TEST(RGBAImage, TrimOfAnImageWithoutMarginIsTheImageItself) {
  auto solid = RGBAImage::filled(20, 20, kBlue);
  auto trimmed = solid.trimmingTransparentEdges();
  ASSERT_TRUE(trimmed);
  EXPECT_EQ(trimmed->bits(), solid.bits());
  EXPECT_EQ(trimmed->pixelWidth(), 20);
}

TEST(RGBAImage, AreaAveragingKeepsColoursApartAndBlendsWhatShares) {
  // Left half red, right half blue, halved: one red and one blue pixel, no purple.
  auto halves = canvasWithBox(4, 2, 0, 0, 2, 2, kRed);
  auto blue = canvasWithBox(4, 2, 2, 0, 2, 2, kBlue);
  std::vector<std::uint8_t> both(halves.bits(), halves.bits() + 32);
  for (std::size_t i = 0; i < both.size(); ++i) both[i] = std::max(both[i], blue.bits()[i]);
  auto small = RGBAImage::fromPremultiplied(4, 2, both)->scaled(2, 1);
  EXPECT_EQ(small.pixel(0, 0), kRed);
  EXPECT_EQ(small.pixel(1, 0), kBlue);

  // A black and white checkerboard averages to mid grey.
  auto checker = RGBAImage::fromPremultiplied(2, 2,
                                              {0, 0, 0, 255, 255, 255, 255, 255,  //
                                               255, 255, 255, 255, 0, 0, 0, 255});
  EXPECT_EQ(checker->scaled(1, 1).pixel(0, 0), (RGBAPixel{128, 128, 128, 255}));

  // Red next to transparent: half-covered red, never darkened towards black.
  auto edge = canvasWithBox(2, 1, 0, 0, 1, 1, kRed).scaled(1, 1);
  EXPECT_EQ(edge.pixel(0, 0).a, 128);
  EXPECT_EQ(edge.straightPixel(0, 0), (RGBAPixel{255, 0, 0, 128}));
}

TEST(RGBAImage, ThreeToTwoSharesTheMiddlePixelBetweenBothHalves) {
  auto strip = RGBAImage::fromPremultiplied(3, 1, {0, 0, 0, 255, 90, 90, 90, 255, 180, 180, 180, 255});
  auto two = strip->scaled(2, 1);
  EXPECT_EQ(two.pixel(0, 0).r, 30);   // (0 × 1 + 90 × 0.5) / 1.5
  EXPECT_EQ(two.pixel(1, 0).r, 150);  // (90 × 0.5 + 180 × 1) / 1.5
}

TEST(RGBAImage, FitShrinksToTheLimitKeepingTheAspectAndNeverEnlarges) {
  auto landscape = RGBAImage::filled(1000, 600, kBlue, 2.0).scaledToFit(480, 480);
  EXPECT_EQ(landscape.pixelWidth(), 480);
  EXPECT_EQ(landscape.pixelHeight(), 288);
  EXPECT_DOUBLE_EQ(landscape.scale(), 2.0);
  EXPECT_EQ(landscape.pixel(200, 100), kBlue);

  constexpr int kUnbounded = std::numeric_limits<int>::max();
  auto tall = RGBAImage::filled(960, 2000, kBlue).scaledToFit(480, kUnbounded);
  EXPECT_EQ(tall.pixelWidth(), 480);
  EXPECT_EQ(tall.pixelHeight(), 1000);

  auto sliver = RGBAImage::filled(5000, 3, kBlue).scaledToFit(480, kUnbounded);
  EXPECT_EQ(sliver.pixelWidth(), 480);
  EXPECT_EQ(sliver.pixelHeight(), 1);  // 0.288 rounds down, but never below one pixel

  auto small = RGBAImage::filled(300, 200, kBlue);
  EXPECT_EQ(small.scaledToFit(480, 480).bits(), small.bits());
}

}  // namespace
}  // namespace velvix
