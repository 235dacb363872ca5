#include <gtest/gtest.h>

#include "Input/ChordPressPairing.hpp"

namespace velvix {
namespace {

TEST(ChordPressPairing, OnePressSeenByBothSidesIsActedOnOnceWhicheverSeesItFirst) {
  ChordPressPairing pairing;
  EXPECT_TRUE(pairing.tapShouldAct(100.0));
  EXPECT_FALSE(pairing.hotkeyShouldAct(100.2));
  // The next press, 0.7 s after the first, is a press of its own; this time the hot key is first.
  EXPECT_TRUE(pairing.hotkeyShouldAct(100.7));
  EXPECT_FALSE(pairing.tapShouldAct(100.75));
}

TEST(ChordPressPairing, SidesHalfASecondApartAreSeparatePressesAndAMarkPairsOnlyOnce) {
  ChordPressPairing pairing;
  EXPECT_TRUE(pairing.tapShouldAct(10.0));
  EXPECT_TRUE(pairing.hotkeyShouldAct(10.5));
  EXPECT_FALSE(pairing.tapShouldAct(10.6));
  // The hot key's mark was spent: a second tap press right after is a real press.
  EXPECT_TRUE(pairing.tapShouldAct(10.7));
}

}  // namespace
}  // namespace velvix
