#include <cmath>

#include <gtest/gtest.h>

#include "UI/HUDMetrics.hpp"

namespace velvix {
namespace {

using Size = HUDMetrics::Size;
using Rows = HUDMetrics::Rows;
using Aspects = HUDMetrics::Aspects;

// A 1440 × 875 point visible frame, as on a common laptop screen with the menu bar and Dock.
constexpr Size kLaptop{1440, 875};

Aspects stills(int count, double aspect) {
  return Aspects(static_cast<std::size_t>(count), aspect);
}
Aspects noStills(int count) {
  return Aspects(static_cast<std::size_t>(count), std::nullopt);
}

TEST(HUDMetrics, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(HUDMetrics::round(18.5), 19);
  EXPECT_EQ(HUDMetrics::round(2.5), 3);
  EXPECT_EQ(HUDMetrics::round(-2.5), -3);
  EXPECT_EQ(HUDMetrics::round(13.65), 14);
  EXPECT_EQ(HUDMetrics::round(2.3125), 2);
}

TEST(HUDMetrics, PresetsCapTheBaseSizePerMode) {
  EXPECT_EQ(HUDMetrics::maximumIcon(HUDSizePreset::compact, false), 108);
  EXPECT_EQ(HUDMetrics::maximumIcon(HUDSizePreset::comfortable, false), 132);
  EXPECT_EQ(HUDMetrics::maximumIcon(HUDSizePreset::large, false), 160);
  EXPECT_EQ(HUDMetrics::maximumIcon(HUDSizePreset::compact, true), 140);
  EXPECT_EQ(HUDMetrics::maximumIcon(HUDSizePreset::comfortable, true), 172);
  EXPECT_EQ(HUDMetrics::maximumIcon(HUDSizePreset::large, true), 210);
}

TEST(HUDMetrics, PicturesAreSquareIconsOrFrozenWidthByThumbH) {
  const HUDMetrics icons{132, false};
  EXPECT_EQ(icons.cellWidth(1.6), 136);  // icon tiles ignore the aspect
  EXPECT_EQ(icons.pictureSize(300.0), (Size{132, 132}));
  const HUDMetrics grid{172, true};
  EXPECT_EQ(grid.pictureSize(std::nullopt), (Size{181, 181}));
  EXPECT_EQ(grid.pictureSize(290.0), (Size{290, 181}));
}

TEST(HUDMetrics, AspectsAreClampedAndAMissingStillIsSquare) {
  const HUDMetrics m{100, true};              // thumbH 105
  EXPECT_EQ(m.tileWidth(4.0), 200);           // 105 × 1.9 = 199.5
  EXPECT_EQ(m.tileWidth(0.2), 53);            // 105 × 0.5 = 52.5
  EXPECT_EQ(m.tileWidth(std::nullopt), 105);  // packing and frozen widths
  EXPECT_EQ(m.uniformTileWidth(), 168);       // the uniform grid's 105 × 1.6
  EXPECT_EQ(m.tileWidth(std::nan("")), 105);  // an unusable aspect counts as none
}

TEST(HUDMetrics, CellPartsAtTheSmallestBaseSize) {
  const HUDMetrics m{16, true};
  EXPECT_EQ(m.controlDiameter(), 13);
  EXPECT_EQ(m.headerIconSize(), 14);
  EXPECT_EQ(m.dockBadgeHeight(), 11);
  EXPECT_EQ(m.ringLineWidth(), 2);
  EXPECT_EQ(m.headerSpacing(), 4);
  EXPECT_EQ(m.headerHeight(), 20);
}

TEST(HUDMetrics, IconRowFitOnALaptopScreen) {
  auto one = HUDMetrics::fitScreen(HUDSizePreset::comfortable, false, noStills(1), kLaptop);
  EXPECT_EQ(one.icon, 132);
  EXPECT_EQ(one.panel, (Size{202, 221}));
  EXPECT_TRUE(one.rows.empty());
  EXPECT_TRUE(one.cellWidths.empty());

  auto eight = HUDMetrics::fitScreen(HUDSizePreset::large, false, noStills(8), kLaptop);
  EXPECT_EQ(eight.icon, 154);
  EXPECT_EQ(eight.panel, (Size{1387, 253}));

  for (auto preset : allCases<HUDSizePreset>()) {
    auto forty = HUDMetrics::fitScreen(preset, false, noStills(40), kLaptop);
    EXPECT_EQ(forty.icon, 32);
    // 15 points taller than the bare multiples give (70): the title strip holds an 11-point line.
    EXPECT_EQ(forty.panel, (Size{1353, 85}));
  }
}

TEST(HUDMetrics, ASingleIconOnAWideScreenGetsThePresetsMaximum) {
  for (auto preset : allCases<HUDSizePreset>())
    EXPECT_EQ(HUDMetrics::fittedIconRow(1, 2500, HUDMetrics::maximumIcon(preset, false)),
              HUDMetrics::maximumIcon(preset, false));
}

TEST(HUDMetrics, IconRowFitWithATinyMaximumIsSixteenWhateverTheWidth) {
  EXPECT_EQ(HUDMetrics::fittedIconRow(3, 5000, 16), 16);
  EXPECT_EQ(HUDMetrics::fittedIconRow(3, 5000, 9), 16);
  EXPECT_EQ(HUDMetrics::fittedIconRow(300, 100, 132), 16);  // even 17 is too wide
}

TEST(HUDMetrics, ThumbnailGridOfSixStillsComfortable) {
  auto fit = HUDMetrics::fitScreen(HUDSizePreset::comfortable, true, stills(6, 1.6), kLaptop);
  EXPECT_EQ(fit.icon, 172);
  EXPECT_EQ(fit.rows, (Rows{{0, 1, 2, 3}, {4, 5}}));
  EXPECT_EQ(fit.cellWidths, std::vector<double>(6, 290));
  EXPECT_EQ(fit.panel, (Size{1301, 540}));
}

TEST(HUDMetrics, ThumbnailGridOfTwelveStillsLargeStopsWhereTheHeightFails) {
  auto fit = HUDMetrics::fitScreen(HUDSizePreset::large, true, stills(12, 1.6), kLaptop);
  EXPECT_EQ(fit.icon, 184);
  EXPECT_EQ(fit.rows, (Rows{{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}}));
  EXPECT_EQ(fit.panel, (Size{1385, 822}));

  // At 185 the vertical padding becomes 19 (18.5 rounded up) and three rows need 833 of 827 points.
  const HUDMetrics next{185, true};
  EXPECT_EQ(next.vpad(), 19);
  auto limited = HUDMetrics::fittedThumbGrid(stills(12, 1.6), 1392, 832, 185);
  EXPECT_EQ(limited.icon, 184);
  EXPECT_EQ(HUDMetrics::fittedThumbGrid(stills(12, 1.6), 1392, 833, 185).icon, 185);
}

TEST(HUDMetrics, ThumbnailGridOfEntriesWithoutStillsCompact) {
  auto fit = HUDMetrics::fitScreen(HUDSizePreset::compact, true, noStills(4), kLaptop);
  EXPECT_EQ(fit.icon, 140);
  EXPECT_EQ(fit.rows, (Rows{{0, 1, 2, 3}}));
  EXPECT_EQ(fit.cellWidths, std::vector<double>(4, 147));  // round(1.05 × 140)
  EXPECT_EQ(fit.panel, (Size{711, 251}));
}

TEST(HUDMetrics, AnEmptyListIsSizedAsOneColumnAndOneRow) {
  for (bool thumbnails : {false, true}) {
    auto fit = HUDMetrics::fitScreen(HUDSizePreset::comfortable, thumbnails, {}, kLaptop);
    const HUDMetrics m{fit.icon, thumbnails};
    EXPECT_EQ(fit.panel, m.panelSize(1, 1, 1392));
    EXPECT_TRUE(fit.rows.empty());
  }
  const HUDMetrics uniform{100, true};
  // 2 × 16 + (168 + 2) + 24 wide; 10 + 130 + (10 + 15) + 24 high.
  EXPECT_EQ(uniform.panelSize(0, 0, 1000), (Size{226, 189}));
}

TEST(HUDMetrics, PanelNeverExceedsTheVisibleWidthLessTwentyFour) {
  auto crowded = HUDMetrics::fitScreen(HUDSizePreset::large, false, noStills(200), kLaptop);
  EXPECT_EQ(crowded.icon, 16);
  EXPECT_EQ(crowded.panel.width, kLaptop.width - 24);
  auto wide = HUDMetrics::fitScreen(HUDSizePreset::large, true, stills(30, 1.9), {800, 600});
  EXPECT_LE(wide.panel.width, 800 - 24);
}

TEST(HUDMetrics, GridThatFitsNowhereFallsBackToSixteenAndKeepsToTheScreen) {
  // At 16 a 252-point wide area takes seven pictures a row: nine rows cannot fit 102 points.
  auto fit = HUDMetrics::fitScreen(HUDSizePreset::comfortable, true, stills(60, 1.6), {300, 150});
  EXPECT_EQ(fit.icon, 16);
  EXPECT_EQ(fit.rows.size(), 9u);
  EXPECT_EQ(fit.panel.height, 150 - 48);  // the bar scrolls the rows instead

  auto belowMinimum = HUDMetrics::fittedThumbGrid(stills(3, 1.0), 100, 100, 12);
  EXPECT_EQ(belowMinimum.icon, 16);
  EXPECT_EQ(belowMinimum.rows, HUDMetrics::packRows(stills(3, 1.0), 16, 100));
}

TEST(HUDMetrics, PackingFillsRowsInOrderAndGivesAnOversizedCellItsOwnRow) {
  // At 100: available 400 − 24 − 32 = 344; cells 2 + 200 (wide), 2 + 105 (none), 2 + 53 (tall).
  const Aspects mixed{4.0, std::nullopt, 0.2, 0.2, 1.0};
  EXPECT_EQ(HUDMetrics::packRows(mixed, 100, 400), (Rows{{0, 1}, {2, 3, 4}}));
  // Equality joins: two cells of 107 and a gap of 9 need exactly 223.
  EXPECT_EQ(HUDMetrics::packRows(noStills(2), 100, 223 + 24 + 32), (Rows{{0, 1}}));
  EXPECT_EQ(HUDMetrics::packRows(noStills(2), 100, 222 + 24 + 32), (Rows{{0}, {1}}));
  EXPECT_EQ(HUDMetrics::packRows(stills(2, 1.9), 100, 150), (Rows{{0}, {1}}));
  EXPECT_TRUE(HUDMetrics::packRows({}, 100, 400).empty());
}

TEST(HUDMetrics, PanelOfRowsTakesItsWidestRowAndDefaultsMissingAspects) {
  const HUDMetrics m{100, true};  // pad 1, hpad 16, vpad 10, gap 9, thumbH 105, header 23
  // Row 0: cells 2 + 168 and 2 + 105 (index 1 has no aspect) with one gap = 286; row 1: index 5
  // lies outside the aspects, so it is 107 wide.
  const Size size = m.panelSize(3, Rows{{0, 1}, {5}}, Aspects{1.6, std::nullopt}, 1000);
  EXPECT_EQ(size.width, 2 * 16 + 286 + 24);
  EXPECT_EQ(size.height, 10 + 2 * 130 + 10 + (10 + 15) + 24);
  // Icon mode ignores rows: one uniform row of every entry.
  const HUDMetrics icons{100, false};
  EXPECT_EQ(icons.panelSize(3, Rows{{0}, {1}, {2}}, {}, 1000), icons.panelSize(3, 1, 1000));
}

}  // namespace
}  // namespace velvix
