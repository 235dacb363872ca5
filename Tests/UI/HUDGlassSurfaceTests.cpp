#include <memory>

#include <gtest/gtest.h>
#include <QWidget>

#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "UI/FrostBackdrop.hpp"
#include "UI/HUDGlassSurface.hpp"

namespace velvix {
namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 120;
constexpr double kRadius = 20;

class HUDGlassSurfaceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }

  // A surface of the given style around an empty content view, as the HUD bar wraps its cells.
  std::unique_ptr<QWidget> surface(GlassStyle style) {
    content = new QWidget;
    std::unique_ptr<QWidget> made(HUDGlassSurface{kRadius, style}.wrap(content, loop, accessibility));
    made->resize(kWidth, kHeight);
    return made;
  }
  QImage render(GlassStyle style) {
    auto view = surface(style);
    return test::renderTransparent(*view);
  }

  sim::SimMainLoop loop;
  sim::SimAccessibilityDisplay accessibility;
  QWidget* content = nullptr;
};

TEST_F(HUDGlassSurfaceTest, AppKitStyleIsAFaintVeilWithABorderBrightAtTheTop) {
  const QImage image = render(GlassStyle::appKit);
  const QColor centre = image.pixelColor(kWidth / 2, kHeight / 2);
  EXPECT_NEAR(centre.alpha(), 0.06 * 255, 2);  // black at 6 %
  EXPECT_EQ(centre.red(), 0);
  const QColor top = image.pixelColor(kWidth / 2, 0);
  const QColor bottom = image.pixelColor(kWidth / 2, kHeight - 1);
  EXPECT_GT(top.alpha(), 60);  // white at 30 % over the veil
  EXPECT_GT(top.red(), 200);
  EXPECT_LT(bottom.alpha(), top.alpha() / 2);
  EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);  // outside the rounded corner
}

TEST_F(HUDGlassSurfaceTest, SwiftUIStyleAddsTheSystemGlassUnderTheContent) {
  const QImage appKit = render(GlassStyle::appKit);
  const QImage glass = render(GlassStyle::swiftUI);
  const QColor sheen = glass.pixelColor(kWidth / 2, 10);
  const QColor veil = appKit.pixelColor(kWidth / 2, 10);
  EXPECT_GT(sheen.alpha(), veil.alpha());
  EXPECT_GT(sheen.red(), veil.red());  // a white lift, not just the dark veil
  test::saveScreenshot(*surface(GlassStyle::swiftUI), "glass-swiftUI");
}

TEST_F(HUDGlassSurfaceTest, ReduceTransparencyTurnsTheSystemGlassOpaque) {
  EXPECT_LT(render(GlassStyle::swiftUI).pixelColor(kWidth / 2, kHeight / 2).alpha(), 255);
  accessibility.setReduceTransparency(true);
  EXPECT_EQ(render(GlassStyle::swiftUI).pixelColor(kWidth / 2, kHeight / 2).alpha(), 255);
}

TEST_F(HUDGlassSurfaceTest, LiquidGlassStyleShowsSlabFringesBehindTheVeil) {
  // The first slab's blue and red fringes overlap around (82, 64) on a 300 × 120 surface.
  const QColor plain = render(GlassStyle::appKit).pixelColor(82, 64);
  const QColor liquid = render(GlassStyle::liquidGlass).pixelColor(82, 64);
  EXPECT_EQ(plain.red(), 0);
  EXPECT_EQ(plain.blue(), 0);
  EXPECT_GT(liquid.red(), 0);
  EXPECT_GT(liquid.blue(), 0);
  EXPECT_GT(liquid.alpha(), plain.alpha());
  test::saveScreenshot(*surface(GlassStyle::liquidGlass), "glass-liquidGlass");
}

TEST_F(HUDGlassSurfaceTest, RestyleSwitchesAnExistingSurface) {
  auto view = surface(GlassStyle::appKit);
  const QImage before = test::renderTransparent(*view);
  EXPECT_TRUE(HUDGlassSurface::restyle(view.get(), {kRadius, GlassStyle::liquidGlass}));
  EXPECT_NE(test::renderTransparent(*view), before);
  EXPECT_TRUE(HUDGlassSurface::restyle(view.get(), {kRadius, GlassStyle::appKit}));
  EXPECT_EQ(test::renderTransparent(*view), before);
  QWidget stranger;
  EXPECT_FALSE(HUDGlassSurface::restyle(&stranger, {kRadius, GlassStyle::swiftUI}));
}

TEST_F(HUDGlassSurfaceTest, ContentFillsTheSurfaceAndTheBorderTakesNoClicks) {
  auto view = surface(GlassStyle::liquidGlass);
  view->show();
  EXPECT_EQ(content->geometry(), QRect(0, 0, kWidth, kHeight));
  EXPECT_EQ(view->childAt(kWidth / 2, kHeight / 2), content);
  EXPECT_EQ(view->childAt(2, kHeight / 2), content);
}

// The HUD as a whole: frost behind, the surface of each style over it. Writes one picture per
// style when VELVIX_SCREENSHOTS is set; the styles must look different from one another.
TEST_F(HUDGlassSurfaceTest, EachStyleLooksDifferentOverTheFrost) {
  std::vector<QImage> looks;
  for (GlassStyle style : allCases<GlassStyle>()) {
    QWidget panel;
    panel.resize(664, 204);
    auto backdrop = FrostBackdrop::make(accessibility, &panel);
    backdrop.view->setGeometry(12, 12, 640, 180);
    backdrop.view->setCornerRadius(kRadius);
    std::string key;
    FrostBackdrop::resize(*backdrop.fade, 640, 180, kRadius, key);
    FrostBackdrop::tune(backdrop.view);
    QWidget* glass = HUDGlassSurface{kRadius, style}.wrap(new QWidget, loop, accessibility, &panel);
    glass->setGeometry(12, 12, 640, 180);
    looks.push_back(test::renderTransparent(panel));
    test::saveScreenshot(panel, std::string("hud-") + std::string(rawName(style)));
  }
  EXPECT_NE(looks[0], looks[1]);
  EXPECT_NE(looks[0], looks[2]);
  EXPECT_NE(looks[1], looks[2]);
}

}  // namespace
}  // namespace velvix
