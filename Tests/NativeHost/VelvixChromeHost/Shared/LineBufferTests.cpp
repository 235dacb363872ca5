#include <gtest/gtest.h>

#include "VelvixChromeHost/Shared/LineBuffer.hpp"

namespace velvix {
namespace {

std::vector<std::string> drain(LineBuffer& buffer) {
  std::vector<std::string> lines;
  while (auto line = buffer.nextLine()) lines.emplace_back(*line);
  return lines;
}

TEST(LineBuffer, CutsAtEveryLineFeedAndKeepsTheUnfinishedTail) {
  LineBuffer buffer;
  buffer.append("one\n\ntwo\nthr", 12);
  EXPECT_EQ(drain(buffer), (std::vector<std::string>{"one", "", "two"}));
  EXPECT_EQ(buffer.pendingBytes(), 3u);
  buffer.append("ee\n", 3);
  EXPECT_EQ(drain(buffer), (std::vector<std::string>{"three"}));
  EXPECT_EQ(buffer.pendingBytes(), 0u);
}

TEST(LineBuffer, ALongLineBuiltFromManySmallPiecesComesOutWhole) {
  LineBuffer buffer;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    const std::string piece = std::to_string(i) + ",";
    expected += piece;
    buffer.append(piece.data(), piece.size());
    ASSERT_FALSE(buffer.nextLine());
  }
  buffer.append("\nnext", 5);
  EXPECT_EQ(drain(buffer), (std::vector<std::string>{expected}));
  buffer.clear();
  EXPECT_EQ(buffer.pendingBytes(), 0u);
  EXPECT_FALSE(buffer.nextLine());
}

}  // namespace
}  // namespace velvix
