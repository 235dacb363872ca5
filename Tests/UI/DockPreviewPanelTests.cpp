#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>

#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/PreviewCard.hpp"

namespace velvix {
namespace {

using Preview = DockPreviewPanel::Preview;

const std::vector<platform::ScreenInfo> kScreen{{{0, 0, 1440, 900}, {0, 24, 1440, 806}, 2}};
const Rect kIcon{692, 837, 56, 56};

TEST(DockPreviewPanelGeometry, CardsFollowTheStillsAspectWithinTheirLimits) {
  EXPECT_EQ(DockPreviewPanel::cardWidth(std::nullopt), 225);
  EXPECT_EQ(DockPreviewPanel::cardWidth(Size{1600, 1000}), 240);
  EXPECT_EQ(DockPreviewPanel::cardWidth(Size{800, 600}), 200);
  EXPECT_EQ(DockPreviewPanel::cardWidth(Size{3000, 500}), 253);  // very wide
  EXPECT_EQ(DockPreviewPanel::cardWidth(Size{300, 1200}), 92);   // very tall
  EXPECT_EQ(DockPreviewPanel::cardWidth(Size{300, 0}), 253);     // no height counts as one point
  // Two cards: 240 + 12 + 225 wide, 150 + 5 + 16 high, 12 around.
  EXPECT_EQ(DockPreviewPanel::panelSize({240, 225}), (Size{501, 195}));
}

TEST(DockPreviewPanelGeometry, ThePanelSitsAboveTheIconInsideTheScreen) {
  const Size size{501, 195};
  EXPECT_EQ(DockPreviewPanel::placement(size, kIcon, kScreen), (Rect{469.5, 636, 501, 195}));
  // Icons at the far left and right keep it 8 points inside the visible frame.
  EXPECT_EQ(DockPreviewPanel::placement(size, {0, 837, 56, 56}, kScreen).x, 8);
  EXPECT_EQ(DockPreviewPanel::placement(size, {1384, 837, 56, 56}, kScreen).x, 1440 - 501 - 8);
  // On a screen too narrow for it, the right-hand limit wins; near the top it stays 8 points in.
  const std::vector<platform::ScreenInfo> narrow{{{0, 0, 400, 300}, {0, 24, 400, 206}, 2}};
  EXPECT_EQ(DockPreviewPanel::placement(size, {172, 200, 56, 56}, narrow),
            (Rect{400 - 501 - 8, 32, 501, 195}));
  // The screen the icon touches, not the first one.
  std::vector<platform::ScreenInfo> two = kScreen;
  two.push_back({{1440, 0, 1920, 1080}, {1440, 24, 1920, 986}, 2});
  EXPECT_EQ(DockPreviewPanel::placement(size, {3330, 1017, 56, 56}, two).x, 1440 + 1920 - 501 - 8);
}

class DockPreviewPanelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
  void SetUp() override { world.services(); }

  QWidget* window() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == DockPreviewPanel::kPanelName && w->isVisible()) return w;
    return nullptr;
  }
  PreviewCard* card(std::int64_t number) {
    return window() ? window()->findChild<PreviewCard*>(QString("velvix.dock.card.%1").arg(number)) : nullptr;
  }
  void showTwo(bool animated = false) {
    panel.show(
        {{101, RGBAImage::filled(320, 200, {200, 40, 40, 255}), "Inbox", false},
         {102, std::nullopt, "", true}},
        kIcon, animated, [this](std::int64_t n) { selected.push_back(n); },
        [this](std::int64_t n) { closed.push_back(n); });
  }

  test::TestWorld world;
  DockPreviewPanel panel{world.loop, world.desktop.screens(), world.desktop.accessibilityDisplay(),
                         world.services().placement};
  std::vector<std::int64_t> selected, closed;
  std::vector<std::optional<std::int64_t>> hovered;
};

TEST_F(DockPreviewPanelTest, ACardPerWindowWithHoverSelectAndClose) {
  panel.onHover = [this](std::optional<std::int64_t> n) { hovered.push_back(n); };
  showTwo();
  ASSERT_TRUE(window());
  PreviewCard* inbox = card(101);
  PreviewCard* untitled = card(102);
  ASSERT_TRUE(inbox && untitled);
  EXPECT_EQ(inbox->size(), QSize(240, 150));
  EXPECT_EQ(untitled->size(), QSize(225, 150));  // no still: the window symbol
  EXPECT_EQ(window()->findChild<QLabel*>("velvix.dock.title.101")->text(), "Inbox");
  EXPECT_EQ(window()->findChild<QLabel*>("velvix.dock.title.102")->text(), " ");
  EXPECT_FALSE(inbox->minimizedBadge()->isVisible());
  EXPECT_TRUE(untitled->minimizedBadge()->isVisible());
  EXPECT_EQ(untitled->minimizedBadge()->toolTip(), "Minimized");
  EXPECT_FALSE(inbox->closeButton()->isVisible());

  QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
  QApplication::sendEvent(inbox, &enter);
  EXPECT_TRUE(inbox->closeButton()->isVisible());
  EXPECT_EQ(inbox->closeButton()->toolTip(), "Close window");
  // The hovered still gets the blue border.
  const QImage picture = test::renderTransparent(*window());
  EXPECT_EQ(picture.pixelColor(inbox->mapTo(window(), QPoint(1, 75))), PreviewCard::hoverColour());
  test::saveScreenshot(*window(), "dock-preview-panel");

  inbox->thumb()->click();
  inbox->closeButton()->click();
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(inbox, &leave);
  EXPECT_FALSE(inbox->closeButton()->isVisible());
  EXPECT_EQ(selected, std::vector<std::int64_t>{101});
  EXPECT_EQ(closed, std::vector<std::int64_t>{101});
  EXPECT_EQ(hovered, (std::vector<std::optional<std::int64_t>>{101, std::nullopt}));
}

TEST_F(DockPreviewPanelTest, SlidesInOnlyWhenItWasNotUp) {
  showTwo(true);
  const Rect target = DockPreviewPanel::placement({501, 195}, kIcon, world.desktop.screens().screens());
  EXPECT_EQ(panel.frame(), (Rect{target.x, target.y + 14, 501, 195}));
  EXPECT_EQ(panel.alpha(), 0);
  world.loop.advance(DockPreviewPanel::kSlideDuration / 2);
  EXPECT_GT(panel.frame()->y, target.y);
  EXPECT_LT(panel.frame()->y, target.y + 14);
  world.loop.advance(DockPreviewPanel::kSlideDuration);
  EXPECT_EQ(panel.frame(), target);
  EXPECT_EQ(panel.alpha(), 1);

  // Shown again while up, over another icon: it moves there at once.
  panel.show({{103, std::nullopt, "Notes", false}}, {1000, 837, 56, 56}, true, {}, {});
  EXPECT_EQ(panel.frame()->y, target.y);
  EXPECT_EQ(panel.frame()->midX(), 1028);
  EXPECT_EQ(panel.alpha(), 1);
  EXPECT_FALSE(card(101));  // the cards before are gone
  ASSERT_TRUE(card(103));

  panel.hide();
  EXPECT_FALSE(panel.isVisible());
  showTwo(true);
  EXPECT_EQ(panel.alpha(), 0);  // after a hide the next one slides in again
}

}  // namespace
}  // namespace velvix
