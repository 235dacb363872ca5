#include <gtest/gtest.h>

#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/MicFeedbackHUD.hpp"

namespace velvix {
namespace {

class MicFeedbackHUDTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
  void SetUp() override { world.services(); }

  test::TestWorld world;
  MicFeedbackHUD hud{world.loop, world.desktop.screens(), world.desktop.accessibilityDisplay(),
                     world.services().desktopPicture, world.services().placement};
};

TEST_F(MicFeedbackHUDTest, TheSquareAppearsOnTheDisplayUnderThePointer) {
  std::vector<platform::ScreenInfo> screens{{.frame = {0, 0, 1440, 900}}, {.frame = {1440, 0, 1920, 1080}}};
  EXPECT_EQ(MicFeedbackHUD::placement(screens, {2000, 500}), (Rect{1440 + 960 - 85, 540 - 85, 170, 170}));
  EXPECT_EQ(MicFeedbackHUD::placement(screens, {-50, -50}), (Rect{720 - 85, 450 - 85, 170, 170}));
  EXPECT_EQ(MicFeedbackHUD::placement({}, {0, 0}), std::nullopt);
}

TEST_F(MicFeedbackHUDTest, EachShowBouncesTheSymbolBackToFullSize) {
  hud.show(true);
  EXPECT_DOUBLE_EQ(hud.scale(), MicFeedbackHUD::kBounceFrom);
  world.loop.advance(0.15);
  EXPECT_GT(hud.scale(), 1.02);  // the spring overshoots
  world.loop.advance(1.5);
  EXPECT_DOUBLE_EQ(hud.scale(), 1.0);
}

TEST_F(MicFeedbackHUDTest, AFadeOvertakenByANewerShowNeverHidesIt) {
  hud.show(true);
  world.loop.advance(MicFeedbackHUD::kHideDelay + 0.1);  // fading
  EXPECT_LT(hud.alpha(), 1.0);
  hud.show(false);
  EXPECT_DOUBLE_EQ(hud.alpha(), 1.0);
  world.loop.advance(0.5);
  EXPECT_TRUE(hud.isVisible());
  world.loop.advance(MicFeedbackHUD::kHideDelay + MicFeedbackHUD::kFadeDuration);
  EXPECT_FALSE(hud.isVisible());
}

TEST_F(MicFeedbackHUDTest, MutedDrawsTheSymbolInRedAndUnmutedInWhite) {
  auto redness = [&](bool muted) {
    hud.show(muted);
    world.loop.advance(1.5 - MicFeedbackHUD::kHideDelay);  // bounce settled, before the fade
    auto image = hud.snapshot(1.0);
    EXPECT_TRUE(image);
    int red = 0, white = 0;
    for (int y = 20; y < 100; ++y)
      for (int x = 50; x < 120; ++x) {
        const auto px = image->pixel(x, y);
        if (px.r > 200 && px.g < 120 && px.b < 120) ++red;
        if (px.r > 220 && px.g > 220 && px.b > 220) ++white;
      }
    return std::pair{red, white};
  };
  const auto [mutedRed, mutedWhite] = redness(true);
  EXPECT_GT(mutedRed, 300);
  const auto [onRed, onWhite] = redness(false);
  EXPECT_EQ(onRed, 0);
  EXPECT_GT(onWhite, 300);
}

}  // namespace
}  // namespace velvix
