#include <cmath>
#include <memory>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QImage>
#include <QWidget>

#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "UI/FrostBackdrop.hpp"

namespace velvix {
namespace {

int alphaAt(const RGBAImage& mask, int x, int y) {
  return mask.pixel(x, y).a;
}

class FrostBackdropTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }

  // A backdrop laid out as the HUD panel does: sized, corner radius set, fade mask resized.
  std::unique_ptr<FrostBackdropView> laidOut(int width, int height, double radius) {
    auto made = FrostBackdrop::make(accessibility);
    std::unique_ptr<FrostBackdropView> view(made.view);
    view->resize(width, height);
    view->setCornerRadius(radius);
    FrostBackdrop::resize(*made.fade, width, height, radius, key);
    return view;
  }

  sim::SimAccessibilityDisplay accessibility;
  std::string key;
};

TEST_F(FrostBackdropTest, MaskIsOpaqueInsideAndFeathersToNothingAtTheEdge) {
  auto mask = FrostBackdrop::featheredMask(100, 60, 20, 6);
  ASSERT_TRUE(mask);
  EXPECT_EQ(mask->pixelWidth(), 100);
  EXPECT_EQ(mask->pixelHeight(), 60);
  EXPECT_EQ(alphaAt(*mask, 50, 30), 255);
  EXPECT_EQ(mask->pixel(50, 30), (RGBAPixel{255, 255, 255, 255}));  // white
  EXPECT_LT(alphaAt(*mask, 0, 30), 10);
  EXPECT_EQ(alphaAt(*mask, 0, 0), 0);
  // Across the feather the mask rises steadily, passing half at the inset edge.
  EXPECT_LT(alphaAt(*mask, 3, 30), alphaAt(*mask, 6, 30));
  EXPECT_LT(alphaAt(*mask, 6, 30), alphaAt(*mask, 9, 30));
  EXPECT_NEAR(alphaAt(*mask, 6, 30), 128, 40);
}

TEST_F(FrostBackdropTest, MaskCornersFollowTheRadiusLessTheFeather) {
  // Radius 8 leaves corners of 2 (nearly square); 100 is capped at half the inset side (24).
  auto square = FrostBackdrop::featheredMask(60, 60, 8, 6);
  auto round = FrostBackdrop::featheredMask(60, 60, 100, 6);
  ASSERT_TRUE(square && round);
  EXPECT_GT(alphaAt(*square, 10, 10), 200);
  EXPECT_LT(alphaAt(*round, 10, 10), 60);
  EXPECT_EQ(alphaAt(*round, 30, 30), 255);
}

TEST_F(FrostBackdropTest, NoMaskForTinyOrUnusableSizes) {
  EXPECT_FALSE(FrostBackdrop::featheredMask(0.9, 50, 10, 6));
  EXPECT_FALSE(FrostBackdrop::featheredMask(16, 50, 10, 6));  // the inset width is 4
  EXPECT_TRUE(FrostBackdrop::featheredMask(17, 50, 10, 6));
  EXPECT_FALSE(FrostBackdrop::featheredMask(50, 16.9, 10, 6));  // truncated to 16 pixels
  EXPECT_FALSE(FrostBackdrop::featheredMask(NAN, 50, 10, 6));
  EXPECT_FALSE(FrostBackdrop::featheredMask(50, INFINITY, 10, 6));
  EXPECT_FALSE(FrostBackdrop::featheredMask(50, 50, NAN, 6));
}

TEST_F(FrostBackdropTest, KeyIsTheTruncatedSizeAndRadius) {
  EXPECT_EQ(FrostBackdrop::maskKey(640.7, 180.2, 29.9), "640x180r29");
  EXPECT_EQ(FrostBackdrop::maskKey(NAN, 10, 2), "0x10r2");
}

TEST_F(FrostBackdropTest, ResizeRebuildsTheMaskOnlyWhenTheWholePointSizeOrRadiusChanges) {
  auto made = FrostBackdrop::make(accessibility);
  std::unique_ptr<FrostBackdropView> owner(made.view);
  FrostBackdrop::resize(*made.fade, 640.2, 180.4, 29, key);
  EXPECT_EQ(key, "640x180r29");
  ASSERT_TRUE(made.fade->contents());
  const auto* first = made.fade->contents()->bits();

  FrostBackdrop::resize(*made.fade, 640.8, 180.1, 29.5, key);
  EXPECT_EQ(made.fade->contents()->bits(), first);  // same key: not rebuilt
  EXPECT_DOUBLE_EQ(made.fade->width(), 640.8);      // but the frame follows

  FrostBackdrop::resize(*made.fade, 640, 180, 35, key);
  EXPECT_NE(made.fade->contents()->bits(), first);

  // Too small for a mask: the fade keeps only its 60 % layer.
  FrostBackdrop::resize(*made.fade, 12, 180, 35, key);
  EXPECT_FALSE(made.fade->contents());
  EXPECT_EQ(key, "12x180r35");
}

TEST_F(FrostBackdropTest, RendersFrostInsideClearCornersAndAFadedRim) {
  auto view = laidOut(200, 120, 20);
  const QImage image = test::renderTransparent(*view);
  const QColor centre = image.pixelColor(100, 60);
  EXPECT_GT(centre.alpha(), 150);
  EXPECT_LT(centre.alpha(), 255);                // translucent
  EXPECT_EQ(image.pixelColor(1, 1).alpha(), 0);  // outside the rounded corner
  const int rim = image.pixelColor(1, 60).alpha();
  EXPECT_GT(rim, 0);
  EXPECT_LT(rim, centre.alpha());  // the fade's 60 % layer shows at the edge
  test::saveScreenshot(*view, "frost-backdrop");
}

TEST_F(FrostBackdropTest, NothingShowsBeforeTheFadeIsSized) {
  auto made = FrostBackdrop::make(accessibility);
  std::unique_ptr<FrostBackdropView> view(made.view);
  view->resize(100, 60);
  EXPECT_EQ(test::renderTransparent(*view).pixelColor(50, 30).alpha(), 0);
}

TEST_F(FrostBackdropTest, ReduceTransparencyMakesTheFrostOpaque) {
  accessibility.setReduceTransparency(true);
  auto view = laidOut(200, 120, 20);
  EXPECT_EQ(test::renderTransparent(*view).pixelColor(100, 60).alpha(), 255);
}

TEST_F(FrostBackdropTest, TuningHidesTheTintAndSharpensTheBackdrop) {
  auto view = laidOut(200, 120, 20);
  const QImage before = test::renderTransparent(*view);
  FrostBackdrop::tune(view.get());
  EXPECT_EQ(view->material().tuning().blurRadius, 11);
  EXPECT_EQ(view->material().tuning().saturation, 2.5);
  const QImage after = test::renderTransparent(*view);
  EXPECT_NE(before, after);
  EXPECT_LT(after.pixelColor(100, 60).alpha(), before.pixelColor(100, 60).alpha());
  FrostBackdrop::tune(nullptr);  // no view: nothing to do
}

// The HUD sets its backdrop and tuning at every show: the same desktop beneath must not make the
// layer again, a changed one must.
TEST_F(FrostBackdropTest, LayerIsMadeAgainOnlyWhenTheBackdropOrTuningChanges) {
  auto view = laidOut(200, 120, 20);
  QImage desktop(200, 120, QImage::Format_ARGB32_Premultiplied);
  desktop.fill(QColor(200, 40, 40));
  view->setBackdrop(desktop);
  FrostBackdrop::tune(view.get());
  const QImage first = test::renderTransparent(*view);
  const std::uint64_t builds = view->layerBuilds();
  view->setBackdrop(desktop.copy());  // the same pixels, taken again
  FrostBackdrop::tune(view.get());
  EXPECT_EQ(test::renderTransparent(*view), first);
  EXPECT_EQ(view->layerBuilds(), builds);
  desktop.fill(QColor(40, 40, 200));
  view->setBackdrop(desktop);
  EXPECT_NE(test::renderTransparent(*view), first);
  EXPECT_EQ(view->layerBuilds(), builds + 1);
}

// While shown the backdrop reads the desktop's pixels it was given; once hidden it holds none of
// them (not even a copy), and a show over the same pixels makes no new layer, over others one.
TEST_F(FrostBackdropTest, AHiddenBackdropHoldsNoPixelsAndKnowsTheSameOnesAgain) {
  auto view = laidOut(200, 120, 20);
  QImage screen(400, 300, QImage::Format_RGBA8888_Premultiplied);
  screen.fill(QColor(200, 40, 40));
  const QImage beneath(screen.constBits(), 200, 120, screen.bytesPerLine(), screen.format());
  view->setBackdrop(beneath);
  view->show();
  const QImage first = test::renderTransparent(*view);
  const std::uint64_t builds = view->layerBuilds();
  EXPECT_EQ(view->backdrop().constBits(), screen.constBits());
  view->hide();
  QCoreApplication::processEvents();
  EXPECT_TRUE(view->backdrop().isNull());
  view->setBackdrop(beneath.copy());
  view->show();
  EXPECT_EQ(test::renderTransparent(*view), first);
  EXPECT_EQ(view->layerBuilds(), builds);
  view->hide();
  QCoreApplication::processEvents();
  screen.setPixelColor(199, 119, QColor(40, 40, 200));  // one pixel of the part beneath
  view->setBackdrop(beneath);
  view->show();
  test::renderTransparent(*view);
  EXPECT_EQ(view->layerBuilds(), builds + 1);
}

TEST_F(FrostBackdropTest, TuningChangesNothingUnderReduceTransparency) {
  accessibility.setReduceTransparency(true);
  auto view = laidOut(200, 120, 20);
  const QImage before = test::renderTransparent(*view);
  FrostBackdrop::tune(view.get());
  EXPECT_EQ(view->material().tuning().blurRadius, FrostedMaterial::Tuning{}.blurRadius);
  EXPECT_EQ(test::renderTransparent(*view), before);
}

}  // namespace
}  // namespace velvix
