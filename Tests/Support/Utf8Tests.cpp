#include <gtest/gtest.h>

#include "Support/Utf8.hpp"

namespace velvix {
namespace {

TEST(Utf8, ValidatesAndCutsOnCodePointBoundaries) {
  EXPECT_TRUE(Utf8::isValid("Grüße 👋"));
  EXPECT_FALSE(Utf8::isValid("\xC3"));            // cut short
  EXPECT_FALSE(Utf8::isValid("\xED\xA0\x80"));    // an encoded surrogate
  EXPECT_FALSE(Utf8::isValid("\xC0\xAF"));        // over-long
  EXPECT_EQ(Utf8::length("Grüße 👋"), 7u);
  EXPECT_EQ(Utf8::prefix("Grüße 👋", 3), "Grü");
  EXPECT_EQ(Utf8::prefix("👋👋", 1), "👋");
  EXPECT_EQ(Utf8::prefix("ab", 10), "ab");
  EXPECT_EQ(Utf8::encode(Utf8::decode("a\xFF" "b")), "a\uFFFD" "b");
}

TEST(Utf8, CaseInsensitiveContainsFoldsBeyondAscii) {
  EXPECT_TRUE(Utf8::containsCaseInsensitive("Übersicht — Mail", "übersicht"));
  EXPECT_TRUE(Utf8::containsCaseInsensitive("INBOX", "inbox"));
  EXPECT_FALSE(Utf8::containsCaseInsensitive("Inbox", "outbox"));
}

}  // namespace
}  // namespace velvix
