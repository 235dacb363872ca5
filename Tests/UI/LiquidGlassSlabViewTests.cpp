#include <cmath>
#include <numbers>

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "UI/LiquidGlassSlabView.hpp"

namespace velvix {
namespace {

// The slabs drawn on a transparent 400 × 300 canvas at a moment of the animation.
QImage slabsAt(double elapsed) {
  QImage canvas(400, 300, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  LiquidGlassSlabView::drawSlabs(painter, 400, 300, elapsed);
  return canvas;
}

class LiquidGlassSlabViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
  sim::SimMainLoop loop;
  sim::SimAccessibilityDisplay accessibility;
};

TEST_F(LiquidGlassSlabViewTest, DrawsColouredFringesButLeavesTheSlabBodiesClear) {
  // The first slab is 105 × 67.2 centred at (154, 160.5): its fringes start at x ≈ 101.
  const QImage image = slabsAt(0);
  const QColor fringes = image.pixelColor(108, 160);
  EXPECT_GT(fringes.alpha(), 0);
  EXPECT_GT(fringes.red(), 0);
  EXPECT_GT(fringes.blue(), 0);
  EXPECT_EQ(image.pixelColor(135, 175).alpha(), 0);  // inside the body, off fringes and glint
  EXPECT_EQ(image.pixelColor(5, 5).alpha(), 0);
}

TEST_F(LiquidGlassSlabViewTest, TheGlintPulsesWithTime) {
  // The first slab's glint peaks when 0.4 t is a right angle and vanishes at t = 0.
  const double peak = std::numbers::pi / 2 / 0.4;
  EXPECT_EQ(slabsAt(0).pixelColor(154, 160).alpha(), 0);
  const QColor glint = slabsAt(peak).pixelColor(154, 160);
  EXPECT_NEAR(glint.alpha(), 0.08 * 255, 2);
  EXPECT_GT(glint.red(), 200);  // white
}

TEST_F(LiquidGlassSlabViewTest, TheViewMovesAsTimePasses) {
  LiquidGlassSlabView view(loop, accessibility);
  view.resize(400, 300);
  view.show();
  EXPECT_TRUE(view.isAnimating());
  const QImage first = test::renderTransparent(view);
  loop.advance(1.5);
  EXPECT_NE(test::renderTransparent(view), first);
  view.hide();
  EXPECT_FALSE(view.isAnimating());
}

TEST_F(LiquidGlassSlabViewTest, ReduceMotionHoldsTheSlabsStill) {
  accessibility.setReduceMotion(true);
  LiquidGlassSlabView view(loop, accessibility);
  view.resize(400, 300);
  view.show();
  const QImage first = test::renderTransparent(view);
  EXPECT_FALSE(view.isAnimating());
  loop.advance(1.5);
  EXPECT_EQ(test::renderTransparent(view), first);

  // Motion allowed again: the next frame starts the animation.
  accessibility.setReduceMotion(false);
  test::renderTransparent(view);
  EXPECT_TRUE(view.isAnimating());
}

}  // namespace
}  // namespace velvix
