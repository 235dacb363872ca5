#include <gtest/gtest.h>

#include "Bridge/SocketLineCutter.hpp"

namespace velvix {
namespace {

std::vector<std::string> drain(SocketLineCutter& cutter) {
  std::vector<std::string> lines;
  while (auto line = cutter.nextLine()) lines.push_back(*line);
  return lines;
}

bool append(SocketLineCutter& cutter, std::string_view bytes) {
  return cutter.append(bytes.data(), bytes.size());
}

TEST(SocketLineCutter, ALineSplitAcrossReadsArrivesOnceItsLineFeedDoes) {
  SocketLineCutter cutter;
  ASSERT_TRUE(append(cutter, "{\"browser\":\"chr"));
  EXPECT_TRUE(drain(cutter).empty());
  ASSERT_TRUE(append(cutter, "ome\"}\n{\"next\""));
  EXPECT_EQ(drain(cutter), (std::vector<std::string>{"{\"browser\":\"chrome\"}"}));
  ASSERT_TRUE(append(cutter, ":1}\n"));
  EXPECT_EQ(drain(cutter), (std::vector<std::string>{"{\"next\":1}"}));
}

TEST(SocketLineCutter, OnlyNonBlankUtf8LinesAreDelivered) {
  SocketLineCutter cutter;
  ASSERT_TRUE(append(cutter,
                     "\t\n"
                     "\xE3\x80\x80\xE2\x80\xAF\n"      // ideographic and narrow no-break spaces only
                     "over\xC0\xAFlong\n"              // an over-long slash
                     "\xED\xA0\x80surrogate\n"         // an encoded surrogate
                     "cut \xE2\x82\n"                  // a sequence cut short
                     "caf\xC3\xA9 \xF0\x9F\x98\x80\n"  // accents and emoji are fine
                     "\v vertical tab stays\f\n"));
  EXPECT_EQ(drain(cutter),
            (std::vector<std::string>{"caf\xC3\xA9 \xF0\x9F\x98\x80", "\v vertical tab stays\f"}));
}

TEST(SocketLineCutter, TrimmingStopsAtTheFirstCharacterThatIsNotASpaceSeparator) {
  EXPECT_EQ(SocketLineCutter::trimmed("\xE2\x80\x8A a b \xE1\x9A\x80"), "a b");
  EXPECT_EQ(SocketLineCutter::trimmed("\xE2\x80\x8B zero width is no space"),
            "\xE2\x80\x8B zero width is no space");
  EXPECT_EQ(SocketLineCutter::trimmed("\r\n"), "\r\n");
  EXPECT_EQ(SocketLineCutter::trimmed(" \t "), "");
}

TEST(SocketLineCutter, LinesOfUpToFourMebibytesGetThroughAndOnlyAnUnfinishedTailIsCapped) {
  const std::size_t cap = SocketLineCutter::kMaxPendingBytes;
  // The largest line, in one read or cut into pieces, with more bytes behind it.
  SocketLineCutter exact;
  EXPECT_TRUE(append(exact, std::string(cap, 'x')));
  EXPECT_TRUE(append(exact, "\n{\"next\":"));
  auto lines = drain(exact);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), cap);
  SocketLineCutter whole;
  EXPECT_TRUE(append(whole, std::string(cap, 'x') + "\n" + std::string(cap, 'y')));
  EXPECT_EQ(drain(whole).size(), 1u);

  // Many lines in one read are fine however many bytes they make together.
  SocketLineCutter many;
  std::string text;
  while (text.size() <= 2 * cap) text += "{\"line\":true}\n";
  EXPECT_TRUE(append(many, text));

  // One byte past the cap without a line feed is not, whether or not lines came before it.
  SocketLineCutter over;
  EXPECT_TRUE(append(over, std::string(cap, 'x')));
  EXPECT_FALSE(append(over, "x"));
  SocketLineCutter afterLines;
  EXPECT_FALSE(append(afterLines, "{\"a\":1}\n" + std::string(cap + 1, 'x')));
  EXPECT_EQ(drain(afterLines), (std::vector<std::string>{"{\"a\":1}"}));

  // Delivered lines no longer count.
  SocketLineCutter flowing;
  const std::string line(1024 * 1024 - 1, 'y');
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(append(flowing, line + "\n"));
    EXPECT_EQ(drain(flowing).size(), 1u);
  }
}

}  // namespace
}  // namespace velvix
