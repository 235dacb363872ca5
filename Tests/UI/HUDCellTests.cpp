#include <gtest/gtest.h>
#include <QPainter>

#include "Core/MRUManager.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "UI/HUDCell.hpp"

namespace velvix {
namespace {

SwitchableItem windowEntry(bool minimized = false) {
  SwitchableItem item;
  item.id = "win:com.apple.mail:7";
  item.bundleID = "com.apple.mail";
  item.windowNumber = 7;
  item.title = "Inbox";
  item.isMinimized = minimized;
  return item;
}

HUDCell thumbnailCell(double base, bool minimized = false) {
  HUDCell cell;
  cell.item = windowEntry(minimized);
  cell.metrics = {base, true};
  cell.closable = true;
  cell.frozenThumb = QImage(64, 40, QImage::Format_ARGB32_Premultiplied);
  cell.frozenThumb.fill(QColor(0, 0, 255));
  return cell;
}

QImage render(const HUDCell& cell) {
  const Size size = cell.size();
  QImage image(static_cast<int>(std::ceil(size.width)) + 40, static_cast<int>(std::ceil(size.height)) + 40,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.translate(20, 20);  // room for glows and badges outside the cell
  cell.paint(painter, false);
  return image;
}

// The colour at a point of the rectangle given as fractions of its size (the centre by default).
QColor colourAt(const QImage& image, const Rect& r, double fx = 0.5, double fy = 0.5) {
  return image.pixelColor(static_cast<int>(r.x + fx * r.width) + 20,
                          static_cast<int>(r.y + fy * r.height) + 20);
}

class HUDCellTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
};

TEST_F(HUDCellTest, TheSmallestBaseKeepsItsControlsAndBadgesReadable) {
  HUDCell cell = thumbnailCell(16, true);
  cell.isHovered = true;
  // d = 13, hdr = 14, e = 11 at base 16, whatever the multiples would give.
  EXPECT_EQ(cell.closeControlRect()->width, 13);
  EXPECT_EQ(cell.headerIconRect().width, 14);
  EXPECT_EQ(cell.dockBadgeRect(0).height, 11);
  EXPECT_EQ(cell.dockBadgeRect(0).width, 11);  // never narrower than its height
  // A long label widens the capsule by its text plus round(0.2 e) = 2 on each side; its height stays.
  EXPECT_EQ(cell.dockBadgeRect(20).width, 24);
  EXPECT_EQ(cell.dockBadgeRect(20).height, 11);
  // thumbH 17 under a 20-point header, no padding at this size.
  EXPECT_EQ(cell.size().height, 37);
  EXPECT_EQ(cell.pictureRect().y, 20);
  EXPECT_EQ(cell.pictureRect().height, 17);
  // The controls sit round(0.35 d) = 5 in from the picture's top right, round(0.28 d) = 4 apart.
  const Rect picture = cell.pictureRect();
  EXPECT_EQ(cell.closeControlRect()->maxX(), picture.maxX() - 5);
  EXPECT_EQ(cell.closeControlRect()->y, picture.y + 5);
  EXPECT_EQ(cell.minimizedBadgeRect()->maxX(), cell.closeControlRect()->x - 4);
}

TEST_F(HUDCellTest, ThumbnailGeometryFollowsTheBaseSize) {
  HUDCell cell = thumbnailCell(172);
  cell.frozenWidth = 290;
  // pad 2, thumbH 181, header band hdr + 6 = 34 and 2 of spacing above the picture's padding.
  EXPECT_EQ(cell.contentFrame().width, 294);
  EXPECT_EQ(cell.contentFrame().height, 185);
  EXPECT_EQ(cell.pictureRect().x, 2);
  EXPECT_EQ(cell.pictureRect().y, 36 + 2);
  EXPECT_EQ(cell.pictureRect().width, 290);
  EXPECT_EQ(cell.size().height, HUDMetrics({172, true}).cellHeight());
  EXPECT_EQ(cell.headerRect().width, 290);
  EXPECT_EQ(cell.headerRect().height, 34);
  EXPECT_EQ(cell.closeControlRect()->width, 19);
  // The Dock badge sits round(0.35 e) right of and round(0.3 e) above the icon's top right (e = 17).
  const Rect icon = cell.headerIconRect();
  EXPECT_EQ(cell.dockBadgeRect(0).maxX(), icon.maxX() + 6);
  EXPECT_EQ(cell.dockBadgeRect(0).y, icon.y - 5);

  // Without a picture the icon stands in a square of side thumbH, with the controls at its corner.
  cell.frozenThumb = QImage();
  cell.frozenWidth.reset();
  EXPECT_EQ(cell.iconRect().width, 181);
  EXPECT_EQ(cell.closeControlRect()->maxX(), cell.iconRect().maxX() - 7);
}

// A window first seen while the HUD shows is streamed into a cell of the default shape: the
// frame shows whole (its red left edge), not scaled up and cut.
TEST_F(HUDCellTest, ALiveFrameInACellNoStillSizedShowsTheWholeWindow) {
  HUDCell cell = thumbnailCell(172);
  cell.frozenThumb = QImage();
  cell.liveThumb = QImage(160, 100, QImage::Format_ARGB32_Premultiplied);
  cell.liveThumb.fill(QColor(0, 200, 0));
  QPainter(&cell.liveThumb).fillRect(0, 0, 12, 100, QColor(255, 0, 0));
  const QImage image = render(cell);
  EXPECT_EQ(colourAt(image, cell.pictureRect(), 0.02), QColor(255, 0, 0));
  EXPECT_LT(colourAt(image, cell.pictureRect(), 0.5, 0.05).alpha(), 100);  // the shade above it
}

TEST_F(HUDCellTest, IconModeCellsHaveATitleStripAndASiteBadgeButNoControls) {
  HUDCell cell;
  cell.item = windowEntry(true);
  cell.item.kind = ItemKind::tab;
  cell.metrics = {100, false};
  cell.closable = true;
  cell.isHovered = true;
  EXPECT_EQ(cell.size().width, 102);
  EXPECT_EQ(cell.size().height, HUDMetrics({100, false}).cellHeight());
  EXPECT_EQ(cell.titleRect().width, 102 * 2.2);
  EXPECT_EQ(cell.siteBadgeRect().width, 34);
  EXPECT_EQ(cell.siteBadgeRect().maxX(), cell.iconRect().maxX() + 2);
  EXPECT_EQ(cell.siteBadgeRect().maxY(), cell.iconRect().maxY() + 2);
  EXPECT_FALSE(cell.closeControlRect());
  EXPECT_FALSE(cell.minimizedBadgeRect());
  EXPECT_FALSE(cell.showsCloseControl());
}

TEST_F(HUDCellTest, TheCloseControlShowsAndTakesClicksOnlyWhileHovered) {
  HUDCell cell = thumbnailCell(172);
  const Rect control = *cell.closeControlRect();
  const Point centre{control.midX(), control.midY()};
  EXPECT_FALSE(cell.closeControlContains(centre));
  EXPECT_EQ(colourAt(render(cell), control).red(), 0);  // the blue picture shows through
  cell.isHovered = true;
  EXPECT_TRUE(cell.closeControlContains(centre));
  EXPECT_FALSE(cell.closeControlContains({control.x + 0.5, control.y + 0.5}));  // the circle is the hit shape
  EXPECT_GT(colourAt(render(cell), control).red(), 150);
}

TEST_F(HUDCellTest, TheMinimizedBadgeShowsWhetherHoveredOrNot) {
  for (bool hovered : {false, true}) {
    HUDCell cell = thumbnailCell(172, true);
    cell.isHovered = hovered;
    // Above its minus sign the black disc darkens the blue picture.
    const QColor badge = colourAt(render(cell), *cell.minimizedBadgeRect(), 0.5, 0.25);
    EXPECT_LT(badge.blue(), 160) << hovered;
  }
  // Without a close control the badge takes the corner itself.
  HUDCell cell = thumbnailCell(172, true);
  cell.closable = false;
  EXPECT_EQ(cell.minimizedBadgeRect()->maxX(), cell.pictureRect().maxX() - 7);
}

TEST_F(HUDCellTest, BadgeSymbolsFollowWhatTheTabBelongsTo) {
  SwitchableItem item;
  item.kind = ItemKind::tab;
  EXPECT_EQ(HUDCell::badgeSymbol(item), "globe");
  item.browser = Browser::chrome;
  EXPECT_EQ(HUDCell::badgeSymbol(item), "globe");
  item.browser = Browser::terminal;
  EXPECT_EQ(HUDCell::badgeSymbol(item), "apple.terminal");
  item.browser = Browser::cursor;
  EXPECT_EQ(HUDCell::badgeSymbol(item), "chevron.left.forwardslash.chevron.right");
  item.url = MRUManager::kAuxPlaceholderURL;  // the placeholder wins over the browser
  EXPECT_EQ(HUDCell::badgeSymbol(item), "gearshape");
  EXPECT_TRUE(HUDCell::isAuxiliary(item));
}

TEST_F(HUDCellTest, TheDraggedCellFadesAndTheTargetGetsAGreenBorder) {
  HUDCell cell = thumbnailCell(172);
  const Rect picture = cell.pictureRect();
  const int solid = colourAt(render(cell), picture).alpha();
  cell.dragRole = HUDDragRole::source;
  EXPECT_NEAR(colourAt(render(cell), picture).alpha(), solid * HUDCell::kSourceOpacity, 3);
  cell.dragRole = HUDDragRole::target;
  const QImage target = render(cell);
  const Rect content = cell.contentFrame();
  const QColor edge = colourAt(target, content, 0.5, 1.5 / content.height);
  EXPECT_GT(edge.green(), edge.red() + 60);
}

}  // namespace
}  // namespace velvix
