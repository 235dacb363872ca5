#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QWidget>

#include "Platform/Simulated/SimScreens.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/WindowPeekPanel.hpp"

namespace velvix {
namespace {

class WindowPeekPanelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
  void SetUp() override { world.services(); }

  test::TestWorld world;
  WindowPeekPanel peek{world.loop, world.desktop.screens(), world.services().placement};
  RGBAImage picture = RGBAImage::filled(800, 500, {40, 80, 120, 255});
};

TEST_F(WindowPeekPanelTest, ThePictureFadesInExactlyOverTheWindow) {
  peek.show(picture, {100, 120, 800, 500}, std::nullopt);
  EXPECT_TRUE(peek.isVisible());
  EXPECT_EQ(peek.frame(), (Rect{100, 120, 800, 500}));
  EXPECT_EQ(peek.alpha(), 0);
  world.loop.advance(WindowPeekPanel::kFadeDuration / 2);
  EXPECT_GT(peek.alpha(), 0.2);
  EXPECT_LT(peek.alpha(), 0.8);
  world.loop.advance(WindowPeekPanel::kFadeDuration);
  EXPECT_EQ(peek.alpha(), 1);
}

TEST_F(WindowPeekPanelTest, HalfwayThroughTheFadeThePictureShowsAtHalfItsStrengthNotLess) {
  peek.show(RGBAImage::filled(400, 300, {255, 255, 255, 255}), {100, 120, 400, 300}, std::nullopt);
  world.loop.advance(WindowPeekPanel::kFadeDuration / 2);
  const double alpha = peek.alpha();
  QWidget* panel = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == WindowPeekPanel::kPanelName) panel = w;
  ASSERT_TRUE(panel);
  QImage image(panel->size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  panel->render(&image);
  // What reaches the screen: the painted alpha times the window's own opacity.
  const double shown = image.pixelColor(200, 150).alphaF() * panel->windowOpacity();
  EXPECT_NEAR(shown, alpha, 0.02);
}

TEST_F(WindowPeekPanelTest, WithoutUsableBoundsThePictureIsCentredInMostOfTheScreen) {
  const platform::ScreenInfo screen{{0, 0, 1440, 900}, {0, 24, 1440, 806}, 2};
  // 800 × 500 in 55 % of 1440 × 806: the height limits (443.3 high, 709.28 wide).
  peek.show(picture, {0, 0, 1, 400}, screen);
  const Rect frame = *peek.frame();
  EXPECT_EQ(frame.width, 709);
  EXPECT_EQ(frame.height, 443);
  EXPECT_NEAR(frame.midX(), 720, 1);
  EXPECT_NEAR(frame.midY(), 24 + 403, 1);
  // A picture of no height counts as one point high; a flat aspect is held at 0.01.
  const Rect flat = WindowPeekPanel::centredFrame({2, 0}, screen, {});
  EXPECT_EQ(flat.width, 792);
  EXPECT_EQ(flat.height, 396);
  const Rect thin = WindowPeekPanel::centredFrame({0.001, 100}, screen, {});
  EXPECT_EQ(thin.height, 443);  // the aspect held at 0.01 would make it far taller
  EXPECT_FALSE(WindowPeekPanel::windowFrame({0, 0, 800, 600}, {}));  // no screens
}

TEST_F(WindowPeekPanelTest, AShowDuringTheFadeOutKeepsThePanelAtFullAlpha) {
  peek.show(picture, {100, 100, 800, 500}, std::nullopt);
  world.loop.advance(1);
  peek.hide();
  world.loop.advance(WindowPeekPanel::kFadeDuration / 2);
  peek.show(picture, {200, 100, 800, 500}, std::nullopt);
  EXPECT_EQ(peek.alpha(), 1);
  world.loop.advance(1);
  EXPECT_TRUE(peek.isVisible());
  EXPECT_EQ(peek.alpha(), 1);
}

TEST_F(WindowPeekPanelTest, TwoHidesOrderThePanelOutOnceTheLastFadeEnds) {
  peek.show(picture, {100, 100, 800, 500}, std::nullopt);
  world.loop.advance(1);
  peek.hide();
  world.loop.advance(WindowPeekPanel::kFadeDuration / 2);
  const double halfway = peek.alpha();
  peek.hide();  // starts from where the first fade got to
  world.loop.advance(WindowPeekPanel::kFadeDuration / 2);
  EXPECT_TRUE(peek.isVisible());
  EXPECT_LT(peek.alpha(), halfway);
  world.loop.advance(WindowPeekPanel::kFadeDuration);
  EXPECT_FALSE(peek.isVisible());
  EXPECT_EQ(peek.alpha(), 0);
}

TEST_F(WindowPeekPanelTest, HideImmediatelyRemovesAShownPanelAtOnceAndIgnoresAHiddenOne) {
  peek.hideImmediately();
  EXPECT_FALSE(peek.frame());
  peek.show(picture, {100, 100, 800, 500}, std::nullopt);
  peek.hideImmediately();
  EXPECT_FALSE(peek.isVisible());
  world.loop.advance(1);
  EXPECT_FALSE(peek.isVisible());
}

}  // namespace
}  // namespace velvix
