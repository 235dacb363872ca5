#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include "Platform/Qt/QtImageConversion.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix {
namespace {

TEST(QtImageConversion, AQImageReadsTheImagesOwnPixelsAndKeepsThemAlive) {
  test::ensureQtApplication();
  QImage wrapped;
  const std::uint8_t* pixels = nullptr;
  {
    auto image = RGBAImage::filled(4, 2, {0, 128, 0, 128}, 2.0);
    pixels = image.bits();
    wrapped = qt::toQImage(image);
  }
  EXPECT_EQ(wrapped.constBits(), pixels);
  EXPECT_EQ(wrapped.format(), QImage::Format_RGBA8888_Premultiplied);
  EXPECT_DOUBLE_EQ(wrapped.devicePixelRatio(), 2.0);
  EXPECT_EQ(wrapped.pixelColor(1, 1), QColor(0, 255, 0, 128));

  // Painting into a copy never reaches the shared, immutable pixels.
  auto original = RGBAImage::filled(4, 2, {0, 0, 255, 255});
  QImage canvas = qt::toQImage(original);
  QPainter(&canvas).fillRect(0, 0, 4, 2, Qt::red);
  EXPECT_EQ(original.pixel(0, 0), (RGBAPixel{0, 0, 255, 255}));
  EXPECT_EQ(canvas.pixelColor(0, 0), QColor(Qt::red));
}

TEST(QtImageConversion, AnyQImageBecomesAnRGBAImageWithItsScale) {
  test::ensureQtApplication();
  QImage argb(3, 3, QImage::Format_ARGB32);
  argb.fill(QColor(255, 255, 255, 51));
  argb.setDevicePixelRatio(3.0);
  auto image = qt::fromQImage(argb);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixel(2, 2), (RGBAPixel{51, 51, 51, 51}));
  EXPECT_DOUBLE_EQ(image->pointWidth(), 1.0);
  EXPECT_FALSE(qt::fromQImage(QImage()));

  QImage same(2, 2, QImage::Format_RGBA8888_Premultiplied);
  same.fill(Qt::black);
  EXPECT_EQ(qt::fromQImage(same)->bits(), same.constBits());  // no conversion, no copy
}

}  // namespace
}  // namespace velvix
