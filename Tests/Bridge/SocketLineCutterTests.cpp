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

TEST(SocketLineCutter, PendingBytesAreCappedAtFourMebibytes) {
  SocketLineCutter exact;
  EXPECT_TRUE(append(exact, std::string(SocketLineCutter::kMaxPendingBytes, 'x')));
  EXPECT_FALSE(append(exact, "\n"));

  // The cap applies before lines are cut: one oversized read fails even with line feeds in it.
  SocketLineCutter oversized;
  std::string many;
  while (many.size() <= SocketLineCutter::kMaxPendingBytes) many += "{\"line\":true}\n";
  EXPECT_FALSE(append(oversized, many));

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
