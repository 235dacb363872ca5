#include <gtest/gtest.h>
#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "Platform/Qt/QtImageDecoder.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix {
namespace {

std::string encode(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format));
  return bytes.toStdString();
}

// Left half opaque red, right half transparent.
QImage halfRed(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter(&image).fillRect(0, 0, width / 2, height, QColor(255, 0, 0));
  return image;
}

std::uint32_t crc32(const std::string& data) {
  std::uint32_t crc = 0xffffffffu;
  for (unsigned char byte : data) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string bigEndian(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// A PNG that claims to be 100000 × 100000 pixels and carries no picture data at all.
std::string claimsToBeHuge() {
  std::string ihdr = "IHDR" + bigEndian(100000) + bigEndian(100000) + std::string("\x08\x06\x00\x00\x00", 5);
  return std::string("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + ihdr + bigEndian(crc32(ihdr)) + bigEndian(0) +
         "IEND" + bigEndian(crc32("IEND"));
}

class QtImageDecoderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
  qt::QtImageDecoder decoder;
};

TEST_F(QtImageDecoderTest, DecodesPngAndIconFilesIntoPremultipliedPixels) {
  for (const char* format : {"PNG", "ICO"}) {
    auto image = decoder.decode(encode(halfRed(32, 16), format), 256);
    ASSERT_TRUE(image) << format;
    EXPECT_EQ(image->pixelWidth(), 32) << format;
    EXPECT_EQ(image->pixelHeight(), 16) << format;
    EXPECT_DOUBLE_EQ(image->scale(), 1.0);
    EXPECT_EQ(image->pixel(3, 3), (RGBAPixel{255, 0, 0, 255})) << format;
    EXPECT_EQ(image->pixel(30, 3), (RGBAPixel{0, 0, 0, 0})) << format;
  }
}

TEST_F(QtImageDecoderTest, LargePicturesComeOutWithinTheLimit) {
  auto image = decoder.decode(encode(halfRed(1024, 512), "PNG"), 256);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 256);
  EXPECT_EQ(image->pixelHeight(), 128);
  EXPECT_EQ(image->pixel(10, 10).r, 255);
}

TEST_F(QtImageDecoderTest, WhatIsNoImageGivesNothing) {
  EXPECT_FALSE(decoder.decode("", 256));
  EXPECT_FALSE(decoder.decode("<!doctype html><title>Not found</title>", 256));
  EXPECT_FALSE(decoder.decode(std::string(4096, '\0'), 256));
  EXPECT_FALSE(decoder.decode(claimsToBeHuge(), 256));
}

}  // namespace
}  // namespace velvix
