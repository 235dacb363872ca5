#include <gtest/gtest.h>

#include "Platform/Utf8.hpp"

namespace velvix {
namespace {

TEST(Utf8, AcceptsWellFormedTextOfEveryLength) {
  EXPECT_TRUE(utf8::isValid(""));
  EXPECT_TRUE(utf8::isValid("plain"));
  EXPECT_TRUE(utf8::isValid("\xC2\xA9 \xE2\x82\xAC \xEF\xBF\xBD \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"));
}

TEST(Utf8, RejectsEveryIllFormedSequence) {
  for (const char* bad :
       {"\x80", "\xC3", "\xC3\x28", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xED\xBF\xBF",
        "\xF0\x80\x80\xAF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "ok\xE2\x82"})
    EXPECT_FALSE(utf8::isValid(bad)) << testing::PrintToString(std::string(bad));
}

TEST(Utf8, StepsOverWholeCodePointsBothWays) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € 😀
  std::vector<char32_t> forward;
  for (std::size_t at = 0; at < text.size();) forward.push_back(utf8::decodeForward(text, at));
  EXPECT_EQ(forward, (std::vector<char32_t>{U'a', U'\u00E9', U'\u20AC', U'\U0001F600'}));
  std::vector<char32_t> backward;
  for (std::size_t at = text.size(); at > 0;) backward.push_back(utf8::decodeBackward(text, at));
  EXPECT_EQ(backward, (std::vector<char32_t>{U'\U0001F600', U'\u20AC', U'\u00E9', U'a'}));
}

TEST(Utf8, LenientDecodingAndCutsOnCodePointBoundaries) {
  EXPECT_EQ(utf8::length("Grüße 👋"), 7u);
  EXPECT_EQ(utf8::prefix("Grüße 👋", 3), "Grü");
  EXPECT_EQ(utf8::prefix("👋👋", 1), "👋");
  EXPECT_EQ(utf8::prefix("ab", 10), "ab");
  EXPECT_EQ(utf8::encode(utf8::decode("a\xFF"
                                      "b\xE2\x82")),
            "a\uFFFD"
            "b\uFFFD\uFFFD");
}

TEST(Utf8, CaseInsensitiveContainsFoldsBeyondAscii) {
  EXPECT_TRUE(utf8::containsCaseInsensitive("Übersicht — Mail", "übersicht"));
  EXPECT_TRUE(utf8::containsCaseInsensitive("INBOX", "inbox"));
  EXPECT_FALSE(utf8::containsCaseInsensitive("Inbox", "outbox"));
}

}  // namespace
}  // namespace velvix
