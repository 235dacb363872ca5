// The settings window's building blocks: cards and rows, the switcher style preview drawn by the
// HUD's own cells, the option cards around it, and the texts the panes compute.

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "Platform/Linux/FolderResources.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "TestSupport/Screenshots.hpp"
#include "TestSupport/TempFolder.hpp"
#include "UI/AppearanceOptionCard.hpp"
#include "UI/SettingsCard.hpp"
#include "UI/SettingsRow.hpp"
#include "UI/SettingsView.hpp"
#include "UI/SwitcherStylePreview.hpp"

namespace velvix {
namespace {

class SettingsWidgetsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::ensureQtApplication(); }
};

// Fraction of pixels that are not (almost) one colour: a blank picture has none.
double busyShare(const QImage& image) {
  const QRgb first = image.pixel(0, 0);
  int differing = 0;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2)
      if (image.pixel(x, y) != first) ++differing;
  return double(differing) / ((image.width() / 2) * (image.height() / 2));
}

TEST_F(SettingsWidgetsTest, CardsAndRowsShowOnlyWhatTheyAreGivenAndLongDetailsWrap) {
  SettingsCard card("Tab Limits", std::nullopt);
  auto* plain = new SettingsRow("Tabs per window", std::nullopt, new QLabel("5"));
  card.add(plain);
  card.resize(400, 200);
  card.show();
  EXPECT_EQ(card.titleLabel()->text(), "TAB LIMITS");
  EXPECT_FALSE(card.footerLabel()->isVisible());
  EXPECT_FALSE(plain->detailLabel()->isVisible());

  card.setFooter("Explained below.");
  EXPECT_TRUE(card.footerLabel()->isVisible());
  SettingsRow row("Title", "short", new QLabel("control"));
  row.resize(300, row.sizeHint().height());
  row.show();
  const int shortHeight = row.heightForWidth(300) > 0 ? row.heightForWidth(300) : row.sizeHint().height();
  row.setDetail(
      "A long explanation that has to wrap over several lines because the row is narrow and the "
      "text goes on and on well past the width of one line, several times over.");
  QApplication::processEvents();
  const int longHeight = row.heightForWidth(300) > 0 ? row.heightForWidth(300) : row.sizeHint().height();
  EXPECT_GT(longHeight, shortHeight);
  // The control stays centred beside the text.
  row.resize(300, longHeight);
  QApplication::processEvents();
  EXPECT_NEAR(row.control()->geometry().center().y(), longHeight / 2.0, 3);
}

TEST_F(SettingsWidgetsTest, ThePreviewDrawsThreeHUDCellsWithTheMiddleOneSelected) {
  for (bool thumbnails : {false, true}) {
    SwitcherStylePreview preview(thumbnails);
    preview.resize(250, SwitcherStylePreview::kHeight);
    const auto cells = preview.cells(250);
    ASSERT_EQ(cells.size(), 3u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(cells[i].isSelected, i == 1);
      EXPECT_EQ(cells[i].metrics.thumbnails, thumbnails);
      EXPECT_EQ(cells[i].hasPicture(), thumbnails);  // previews show windows, icons show icons
    }
    // The slab fits inside the gradient, 14 points in from its sides.
    const QRectF slab = preview.slabRect();
    EXPECT_GE(slab.left(), SwitcherStylePreview::kSideInset - 0.5);
    EXPECT_LE(slab.height(), SwitcherStylePreview::kHeight);
    const QImage picture = test::renderTransparent(preview);
    EXPECT_GT(busyShare(picture), 0.5);
    // The selected middle cell is drawn differently from its neighbours (highlight or ring).
    const int y = static_cast<int>(slab.center().y());
    EXPECT_NE(picture.pixelColor(static_cast<int>(slab.center().x()), y).rgb(),
              picture.pixelColor(static_cast<int>(slab.left() + 12), y).rgb());
    test::saveScreenshot(preview, thumbnails ? "settings-preview-thumbnails" : "settings-preview-icons");
  }
}

TEST_F(SettingsWidgetsTest, AnOptionCardShowsItsFallbackWithoutAnImageAndSelectsOnAnyClick) {
  test::TempFolder folder;
  platform::FolderResources resources(folder.path());
  int selected = 0;
  AppearanceOptionCard card("App Icons", "One icon per window or tab.", "AppearanceIcons", resources,
                            new SwitcherStylePreview(false));
  card.onSelect = [&] { ++selected; };
  card.resize(260, card.sizeHint().height());
  card.show();
  EXPECT_TRUE(card.showsFallback());
  QTest::mouseClick(&card, Qt::LeftButton, {}, QPoint(40, 40));                   // on the picture
  QTest::mouseClick(&card, Qt::LeftButton, {}, QPoint(200, card.height() - 10));  // on the text
  EXPECT_EQ(selected, 2);

  QImage image(40, 20, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString((folder.path() / "AppearanceIcons.png").string())));
  AppearanceOptionCard carried("App Icons", "", "AppearanceIcons", resources,
                               new SwitcherStylePreview(false));
  EXPECT_FALSE(carried.showsFallback());
}

TEST(SettingsTexts, TheTerminalSummaryIsAnEnglishList) {
  EXPECT_EQ(SettingsView::terminalSupportSummary({}), "Terminal");
  EXPECT_EQ(SettingsView::terminalSupportSummary({"iTerm2"}), "iTerm2");
  EXPECT_EQ(SettingsView::terminalSupportSummary({"Terminal", "iTerm2"}), "Terminal and iTerm2");
  EXPECT_EQ(SettingsView::terminalSupportSummary({"Terminal", "iTerm2", "Ghostty"}),
            "Terminal, iTerm2, and Ghostty");
}

TEST(SettingsTexts, ExclusionsAreSplitAtCommasTrimmedAndEmptiesDropped) {
  EXPECT_EQ(SettingsView::parseExclusions("com.a , ,\tcom.b,"), (std::vector<std::string>{"com.a", "com.b"}));
  EXPECT_EQ(SettingsView::parseExclusions("com.A,com.A"), (std::vector<std::string>{"com.A", "com.A"}));
  EXPECT_TRUE(SettingsView::parseExclusions("").empty());
  EXPECT_TRUE(SettingsView::parseExclusions(" , ").empty());
}

}  // namespace
}  // namespace velvix
