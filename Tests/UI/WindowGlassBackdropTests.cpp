#include <gtest/gtest.h>
#include <QWidget>

#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "UI/WindowGlassBackdrop.hpp"

namespace velvix {
namespace {

class WindowGlassBackdropTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
  QColor centreOf(WindowGlassBackdrop& view) { return test::renderTransparent(view).pixelColor(50, 50); }
  sim::SimAccessibilityDisplay accessibility;
};

TEST_F(WindowGlassBackdropTest, DrawsATranslucentDarkMaterial) {
  WindowGlassBackdrop view(GlassMaterial::underWindowBackground, accessibility);
  view.resize(100, 100);
  const QColor centre = centreOf(view);
  EXPECT_GT(centre.alpha(), 100);
  EXPECT_LT(centre.alpha(), 255);
  EXPECT_LT(centre.lightness(), 110);
  test::saveScreenshot(view, "window-glass");
}

TEST_F(WindowGlassBackdropTest, ReduceTransparencyMakesItOpaque) {
  accessibility.setReduceTransparency(true);
  WindowGlassBackdrop view(GlassMaterial::underWindowBackground, accessibility);
  view.resize(100, 100);
  EXPECT_EQ(centreOf(view).alpha(), 255);
}

TEST_F(WindowGlassBackdropTest, ChangingTheMaterialChangesTheLook) {
  WindowGlassBackdrop view(GlassMaterial::thick, accessibility);
  view.resize(100, 100);
  const QColor thick = centreOf(view);
  view.setMaterial(GlassMaterial::ultraThin);
  EXPECT_EQ(view.material(), GlassMaterial::ultraThin);
  EXPECT_LT(centreOf(view).alpha(), thick.alpha());
}

TEST_F(WindowGlassBackdropTest, DarkGlassKeepsTheTitleAndClearsTheWindowBackground) {
  QWidget window;
  window.setWindowTitle("Velvix Settings");
  const auto flags = window.windowFlags();
  WindowGlassBackdrop::applyDarkGlass(&window);
  EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_FALSE(window.autoFillBackground());
  EXPECT_LT(window.palette().color(QPalette::Window).lightness(), 60);
  EXPECT_GT(window.palette().color(QPalette::WindowText).lightness(), 200);
  EXPECT_EQ(window.windowFlags(), flags);
  EXPECT_EQ(window.windowTitle(), "Velvix Settings");
  WindowGlassBackdrop::applyDarkGlass(nullptr);
}

}  // namespace
}  // namespace velvix
