#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopPicture.hpp"
#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "TestSupport/HUDScene.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/HUDController.hpp"
#include "UI/HUDMetrics.hpp"
#include "UI/HUDView.hpp"
#include "UI/MicFeedbackHUD.hpp"

// The panels as the window onto the desktop draws them, at the scales that window takes: every
// corner of the glass rounded, the whole selection ring and picture drawn, and the frost showing
// what lies beneath the very place it covers.

namespace velvix {
namespace {

constexpr double kScales[] = {0.75, 1.0, 1.5};

// The glass's bounds: where the row and column through the middle first and last show it.
QRect glassBounds(const QImage& image) {
  const int midY = image.height() / 2, midX = image.width() / 2;
  int left = -1, right = -1, top = -1, bottom = -1;
  for (int x = 0; x < image.width(); ++x)
    if (image.pixelColor(x, midY).alpha() > 60) {
      if (left < 0) left = x;
      right = x;
    }
  for (int y = 0; y < image.height(); ++y)
    if (image.pixelColor(midX, y).alpha() > 60) {
      if (top < 0) top = y;
      bottom = y;
    }
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

// Each corner of the glass (corner radius `radius` points) is cut round: just inside its very
// corner it is clear while the edges beside it show the glass, at the top-left as at the far
// bottom-right.
void expectFourRoundedCorners(const QImage& image, double scale, double radius, const char* what) {
  const QRect glass = glassBounds(image);
  ASSERT_GT(glass.width(), 20) << what << " at " << scale;
  const int in = std::max(1, static_cast<int>(std::lround(0.15 * radius * scale)));
  const int midX = glass.center().x(), midY = glass.center().y();
  const QPoint corners[] = {glass.topLeft(), glass.topRight(), glass.bottomLeft(), glass.bottomRight()};
  for (const QPoint corner : corners) {
    const int x = corner.x() + (corner.x() == glass.left() ? in : -in);
    const int y = corner.y() + (corner.y() == glass.top() ? in : -in);
    const int side = image.pixelColor(x, midY).alpha(), end = image.pixelColor(midX, y).alpha();
    EXPECT_GT(side, 100) << what << " at " << scale;
    EXPECT_GT(end, 100) << what << " at " << scale;
    EXPECT_LT(image.pixelColor(x, y).alpha(), std::min(side, end) / 2)
        << what << " at " << scale << ", corner " << corner.x() << "," << corner.y();
  }
}

bool blue(const QColor& c) {
  return c.blue() > c.red() + 60 && c.blue() > c.green() + 20;
}

bool near(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

QWidget* widgetNamed(const char* name) {
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == name) return w;
  return nullptr;
}

class ScaledHUDTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ensureQtApplication();
    scene.world.services().desktopPicture = &picture;
  }
  test::HUDScene scene;
  qt::SimDesktopPicture picture{scene.world.desktop};
};

TEST_F(ScaledHUDTest, TheGlassTheRingAndThePicturesAreWholeAtEveryScale) {
  std::vector<SwitchableItem> items;
  for (int i = 0; i < 3; ++i)
    items.push_back(scene.window("com.example.editor", "Editor", "Document " + std::to_string(i)));
  scene.show(items, 1);
  QWidget* bar = widgetNamed(HUDView::kBarName);
  QWidget* root = widgetNamed(HUDController::kPanelName);
  ASSERT_TRUE(bar && root);
  HUDView* view = nullptr;
  for (QWidget* w = bar; w && !view; w = w->parentWidget()) view = dynamic_cast<HUDView*>(w);
  ASSERT_TRUE(view);
  const auto cell = *view->cell(1);
  const QPointF at =
      bar->mapTo(root, QPoint(0, 0)) + QPointF(view->cellFrames().at(1).x, view->cellFrames().at(1).y);
  const Rect content = cell.contentFrame();
  const auto other = *view->cell(2);
  const Rect picture = other.pictureRect();
  const QPointF otherAt =
      bar->mapTo(root, QPoint(0, 0)) + QPointF(view->cellFrames().at(2).x, view->cellFrames().at(2).y);
  for (double scale : kScales) {
    const QImage image = qt::toQImage(*scene.hud().snapshot(scale)).copy();
    expectFourRoundedCorners(image, scale,
                             HUDMetrics{scene.hud().model().fittedIconSize(), false}.cornerRadius(), "HUD");
    // The ring runs along all four edges of the selected cell's content.
    const double line = cell.metrics.ringLineWidth() / 2;
    auto px = [&](QPointF origin, double x, double y) {
      return image.pixelColor(QPointF((origin.x() + x) * scale, (origin.y() + y) * scale).toPoint());
    };
    EXPECT_TRUE(blue(px(at, content.midX(), content.y + line))) << "top at " << scale;
    EXPECT_TRUE(blue(px(at, content.midX(), content.maxY() - line))) << "bottom at " << scale;
    EXPECT_TRUE(blue(px(at, content.x + line, content.midY()))) << "left at " << scale;
    EXPECT_TRUE(blue(px(at, content.maxX() - line, content.midY()))) << "right at " << scale;
    // Another cell's picture reaches its far corner, rounded there as at its near one: just
    // inside each corner the glass shows, beside it the picture.
    const double d = std::max(1.0, 0.15 * other.metrics.pictureCornerRadius() * scale) / scale;
    for (const Point corner :
         {Point{picture.x + d, picture.y + d}, Point{picture.maxX() - d, picture.maxY() - d}}) {
      const QColor beside = px(otherAt, picture.midX(), corner.y), inCorner = px(otherAt, corner.x, corner.y);
      EXPECT_FALSE(near(beside, inCorner, 30))
          << "picture corner at " << scale << ": " << beside.name().toStdString() << " "
          << inCorner.name().toStdString();
    }
  }
}

TEST_F(ScaledHUDTest, TheFrostShowsWhatLiesBeneathTheSamePlace) {
  std::vector<SwitchableItem> items;
  for (int i = 0; i < 2; ++i)
    items.push_back(scene.application("com.example.app" + std::to_string(i), "App"));
  scene.show(items, 0);
  const Rect frame = *scene.hud().panelFrame();
  // A bright window under the right-hand tenth of the panel only.
  const auto pid = scene.world.desktop.launch({.bundleID = "com.example.bright", .name = "Bright"});
  scene.world.desktop.addWindow(
      pid,
      {.title = "Bright", .bounds = {frame.x + frame.width * 0.88, frame.y - 40, 400, frame.height + 80}});
  scene.world.desktop.activate(pid);
  scene.show(items, 0);  // shown again: the frost takes what now lies beneath
  for (double scale : kScales) {
    const QImage image = qt::toQImage(*scene.hud().snapshot(scale)).copy();
    const QRect glass = glassBounds(image);
    // Beside the cells, at either end of the glass.
    const int y = glass.center().y(), in = static_cast<int>(std::lround(16 * scale));
    const QColor right = image.pixelColor(glass.right() - in, y);
    const QColor left = image.pixelColor(glass.left() + in, y);
    EXPECT_GT(right.lightness(), left.lightness() + 25)
        << "at " << scale << ": " << right.name().toStdString() << " " << left.name().toStdString();
  }
}

TEST(ScaledPanels, TheMicrophoneSquareAndTheDockCardsAreRoundAtEveryCorner) {
  test::ensureQtApplication();
  test::TestWorld world;
  MicFeedbackHUD mic{world.loop, world.desktop.screens(), world.desktop.accessibilityDisplay(),
                     world.services().desktopPicture, world.services().placement};
  mic.show(true);
  world.loop.advance(1.5 - MicFeedbackHUD::kHideDelay);
  for (double scale : kScales)
    expectFourRoundedCorners(qt::toQImage(*mic.snapshot(scale)).copy(), scale, 22, "mic");

  DockPreviewPanel cards{world.loop, world.desktop.screens(), world.desktop.accessibilityDisplay(),
                         world.services().placement};
  cards.show(
      {{101, RGBAImage::filled(320, 200, {200, 40, 40, 255}), "Inbox", false}}, {692, 837, 56, 56}, false,
      [](std::int64_t) {}, [](std::int64_t) {});
  for (double scale : kScales)
    expectFourRoundedCorners(qt::toQImage(*cards.snapshot(scale)).copy(), scale, 12, "Dock");
}

}  // namespace
}  // namespace velvix
