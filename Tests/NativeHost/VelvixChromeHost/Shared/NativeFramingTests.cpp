#include <gtest/gtest.h>

#include "VelvixChromeHost/Shared/NativeFraming.hpp"

namespace velvix {
namespace {

TEST(NativeFraming, TheLengthTravelsInNativeByteOrder) {
  const char five[4] = {0x05, 0x00, 0x00, 0x00};  // little-endian, as the machines it runs on
  EXPECT_EQ(nativeframing::readHeader(five), 5u);
  const std::string framed = nativeframing::frame("{\"a\":1}");
  ASSERT_EQ(framed.size(), 4u + 7u);
  EXPECT_EQ(framed.substr(0, 4), std::string("\x07\x00\x00\x00", 4));
  EXPECT_EQ(framed.substr(4), "{\"a\":1}");
  EXPECT_EQ(nativeframing::readHeader(nativeframing::frame(std::string(70000, 'x')).data()), 70000u);
  EXPECT_EQ(nativeframing::frame(""), std::string(4, '\0'));
}

TEST(NativeFraming, AFrameBecomesExactlyOneSocketLine) {
  std::string payload = "{\n  \"a\": 1\n}";
  nativeframing::makeSocketLine(payload);
  EXPECT_EQ(payload, "{   \"a\": 1 }\n");
  std::string empty;
  nativeframing::makeSocketLine(empty);
  EXPECT_EQ(empty, "\n");
}

TEST(NativeFraming, TrimmingRemovesOnlyAsciiWhitespaceAtTheEnds) {
  EXPECT_EQ(nativeframing::trimmed("  {\"a\": 1}\r"), "{\"a\": 1}");
  EXPECT_EQ(nativeframing::trimmed("\t\v\f\r\n "), "");
  EXPECT_EQ(nativeframing::trimmed(""), "");
  EXPECT_EQ(nativeframing::trimmed("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");
}

}  // namespace
}  // namespace velvix
