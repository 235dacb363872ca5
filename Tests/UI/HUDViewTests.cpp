#include <gtest/gtest.h>
#include <QAccessible>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmapCache>
#include <QScreen>

#include "Core/MRUManager.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Simulated/SimAccessibilityDisplay.hpp"
#include "TestSupport/HUDScene.hpp"
#include "TestSupport/Screenshots.hpp"
#include "UI/FrostBackdrop.hpp"
#include "UI/HUDBarLayout.hpp"
#include "UI/HUDDragRole.hpp"
#include "UI/HUDView.hpp"

namespace velvix {
namespace {

using Moves = std::vector<std::pair<int, int>>;

// A bar over a model that the test fills, on a simulated desktop with the scene's entries.
class HUDViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model.canDrag = test::tabMoverCanDrag;
    model.canDrop = test::tabMoverCanDrop;
    model.onCommit = [this](int i) { commits.push_back(i); };
    model.onClose = [this](int i) { closes.push_back(i); };
    model.onMoveTab = [this](int source, int target) { moves.emplace_back(source, target); };
  }

  // Shows the entries at base size 100, sized as the panel would size them.
  void present(std::vector<SwitchableItem> items, bool thumbnails, bool dragEnabled = true) {
    const HUDMetrics metrics{100, thumbnails};
    model.setUsesThumbnails(thumbnails);
    model.setFittedIconSize(100);
    model.setDragEnabled(dragEnabled);
    std::vector<std::optional<RGBAImage>> stills;
    for (const auto& item : items) {
      const auto* cached = scene.world.thumbnails().entry(item.id);
      stills.push_back(cached ? std::optional(cached->image) : std::nullopt);
    }
    if (thumbnails) model.setCellThumbs(std::move(stills));
    const int count = static_cast<int>(items.size());
    model.setItems(std::move(items));
    const auto size = metrics.panelSize(count, 1, 4000);
    view.resize(static_cast<int>(size.width - 24), static_cast<int>(size.height - 24));
  }

  Point centreOf(int cell) const {
    const Rect r = view.cellFrames().at(cell);
    return {r.midX(), r.midY()};
  }
  Point closeControlOf(int cell) const {
    const Rect frame = view.cellFrames().at(cell);
    const Rect control = *view.cell(cell)->closeControlRect();
    return {frame.x + control.midX(), frame.y + control.midY()};
  }

  void send(QEvent::Type type, Point p, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPointF local(p.x, p.y);
    QMouseEvent event(type, local, view.bar()->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(view.bar(), &event);
  }
  void hover(Point p) { send(QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
  void press(Point p) { send(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
  void drag(Point p) { send(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
  void release(Point p) { send(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
  void click(Point p) {
    press(p);
    release(p);
  }
  void dragAndDrop(int source, Point to) {
    press(centreOf(source));
    drag({centreOf(source).x + 10, centreOf(source).y});
    drag(to);
    release(to);
  }

  test::HUDScene scene;
  HUDModel model{scene.world.loop};
  HUDView view{model,
               scene.world.loop,
               scene.world.desktop.accessibilityDisplay(),
               scene.world.badges(),
               scene.world.thumbnails(),
               scene.world.favicons()};
  std::vector<int> commits, closes;
  Moves moves;
};

TEST_F(HUDViewTest, RowsAreStackedAndCentredWithTheirCellsSideBySide) {
  const HUDMetrics m{100, true};  // pad 1, gap 9, vpad 10, thumbH 105
  const auto frames = HUDBarLayout::cellFrames(m, {{0, 1, 2}, {3, 9}}, 4, {168, 105, 105, 200}, {800, 400});
  ASSERT_EQ(frames.size(), 4u);  // index 9 is beyond the list
  EXPECT_EQ(frames.at(0).width, 170);
  EXPECT_EQ(frames.at(1).x, frames.at(0).maxX() + 9);
  // The first row is 170 + 107 + 107 + 2 gaps = 402 wide, centred in 800.
  EXPECT_EQ(frames.at(0).x, (800 - 402) / 2.0);
  EXPECT_EQ(frames.at(3).x, (800 - 202) / 2.0);
  EXPECT_EQ(frames.at(3).y, frames.at(0).maxY() + 10);
  EXPECT_EQ(frames.at(0).height, m.cellHeight());
  // Without rows, one row of every entry.
  EXPECT_EQ(HUDBarLayout::rowsShown({}, 3), (HUDMetrics::Rows{{0, 1, 2}}));

  // Forty rows in a bar that holds about two: the stack moves to the selected row, never past
  // its ends.
  HUDMetrics::Rows tall;
  for (int r = 0; r < 40; ++r) tall.push_back({r});
  const double top = m.vpad() + m.extraTop(), bottom = 400 - m.vpad() - m.extraBottom();
  for (int selected : {0, 1, 20, 39}) {
    const auto scrolled = HUDBarLayout::cellFrames(m, tall, 40, {}, {800, 400}, selected);
    EXPECT_GE(scrolled.at(selected).y, top) << selected;
    EXPECT_LE(scrolled.at(selected).maxY(), bottom) << selected;
    EXPECT_GE(scrolled.at(0).y, top - 39 * (m.cellHeight() + m.vpad())) << selected;
    EXPECT_LE(scrolled.at(0).y, top) << selected;
  }
  EXPECT_EQ(HUDBarLayout::cellFrames(m, tall, 40, {}, {800, 400}, 0).at(0).y, top);
  EXPECT_EQ(HUDBarLayout::cellFrames(m, tall, 40, {}, {800, 400}, 39).at(39).maxY(), bottom);
}

TEST_F(HUDViewTest, TheCloseControlAppearsOnlyOnHoverAndCallsOnClose) {
  present({scene.window("com.apple.mail", "Mail", "Inbox"),
           scene.window("com.apple.TextEdit", "TextEdit", "Notes")},
          true);
  const Point control = closeControlOf(1);
  click(control);  // not hovered: the spot is just the picture
  EXPECT_EQ(commits, std::vector<int>{1});
  EXPECT_TRUE(closes.empty());

  hover(control);
  EXPECT_EQ(model.hoverIndex(), 1);
  EXPECT_TRUE(view.cell(1)->showsCloseControl());
  EXPECT_FALSE(view.cell(0)->showsCloseControl());
  click(control);
  EXPECT_EQ(closes, std::vector<int>{1});
  EXPECT_EQ(commits, std::vector<int>{1});

  hover({-5, -5});  // off every cell
  EXPECT_EQ(model.hoverIndex(), std::nullopt);
  EXPECT_FALSE(view.cell(1)->showsCloseControl());
}

TEST_F(HUDViewTest, IconCellsAndThePlaceholderEntryHaveNoCloseControl) {
  SwitchableItem placeholder =
      scene.tab(Browser::chrome, "1", 11, "Settings", MRUManager::kAuxPlaceholderURL);
  present({placeholder, scene.window("com.apple.mail", "Mail", "Inbox")}, true);
  EXPECT_FALSE(view.cell(0)->closable);
  EXPECT_TRUE(view.cell(1)->closable);
  present({placeholder, scene.window("com.apple.mail", "Mail", "Inbox")}, false);
  EXPECT_FALSE(view.cell(1)->closable);
}

TEST_F(HUDViewTest, ALiveFrameReplacesTheStillOnlyInTheStreamedCell) {
  std::vector<SwitchableItem> items{scene.window("com.apple.mail", "Mail", "Inbox"),
                                    scene.window("com.apple.TextEdit", "TextEdit", "Notes"),
                                    scene.window("com.apple.Preview", "Preview", "Photo")};
  present(items, true);
  const RGBAPixel red{255, 0, 0, 255};
  model.setLiveFrame(RGBAImage::filled(64, 40, red));
  model.setLiveItemID(items[1].id);
  EXPECT_TRUE(view.cell(0)->liveThumb.isNull());
  EXPECT_FALSE(view.cell(1)->liveThumb.isNull());

  const QImage image = test::renderTransparent(view);
  auto pictureCentre = [&](int cell) {
    const Rect frame = view.cellFrames().at(cell), picture = view.cell(cell)->pictureRect();
    return image.pixelColor(static_cast<int>(frame.x + picture.midX()),
                            static_cast<int>(frame.y + picture.midY()));
  };
  auto stillColour = [&](int cell) {
    return scene.world.thumbnails().entry(items[cell].id)->image.pixel(5, 5);
  };
  EXPECT_EQ(pictureCentre(1), QColor(255, 0, 0));
  for (int cell : {0, 2}) {
    const RGBAPixel still = stillColour(cell);
    EXPECT_EQ(pictureCentre(cell), QColor(still.r, still.g, still.b)) << cell;
  }
}

// The pictures composed for one chord serve the next: hiding keeps the pixmap cache, and a
// still the thumbnail cache still holds keeps its identity (the key of its scaled copies) across
// lists, where a new still of the same window is a new picture.
TEST_F(HUDViewTest, PicturesOutliveTheHidingAndKeepTheirIdentityWhileTheirStillIsKept) {
  std::vector<SwitchableItem> items{scene.window("com.apple.mail", "Mail", "Inbox"),
                                    scene.window("com.apple.TextEdit", "TextEdit", "Notes")};
  present(items, true);
  const QPixmap marker(4, 4);
  const QString markerKey = QStringLiteral("velvix.test.marker");
  QPixmapCache::insert(markerKey, marker);
  view.show();
  test::renderTransparent(view);
  const qint64 first = view.cell(0)->frozenThumb.cacheKey(), second = view.cell(1)->frozenThumb.cacheKey();
  view.hide();
  QPixmap found;
  EXPECT_TRUE(QPixmapCache::find(markerKey, &found));

  auto& stills = scene.world.thumbnails();
  auto renewed = *stills.entry(items[1].id);
  renewed.image = RGBAImage::filled(80, 50, {0, 200, 0, 255});
  stills.storeForTesting(items[1].id, std::move(renewed));
  present(items, true);
  view.show();
  EXPECT_EQ(view.cell(0)->frozenThumb.cacheKey(), first);
  EXPECT_NE(view.cell(1)->frozenThumb.cacheKey(), second);
  EXPECT_EQ(view.cell(1)->frozenThumb.pixelColor(5, 5), QColor(0, 200, 0));
  view.hide();
}

TEST_F(HUDViewTest, ASelectionStepOnScreenShowsWhatAWholeNewPaintShows) {
  // Titles longer than a cell is wide, so each reaches past its cell.
  std::vector<SwitchableItem> items;
  for (int i = 0; i < 6; ++i)
    items.push_back(scene.application("com.example.app" + std::to_string(i),
                                      "Application number " + std::to_string(i) + " with a long name"));
  present(items, false);
  model.setSelectedIndex(1);
  // On an opaque window, as the HUD's panel stands over the screen.
  QWidget window;
  window.setAutoFillBackground(true);
  QPalette palette;
  palette.setColor(QPalette::Window, Qt::darkBlue);
  window.setPalette(palette);
  view.setParent(&window);
  auto expectStepsShowAWholePaint = [&](std::vector<int> steps) {
    window.resize(view.size());
    window.show();
    QCoreApplication::processEvents();
    // Only what the step changes is painted again: the two cells with their titles, or every
    // cell when a long row scrolled.
    for (int selected : steps) {
      model.setSelectedIndex(selected);
      QCoreApplication::processEvents();
      const QImage shown =
          window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
      const QImage whole = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
      ASSERT_EQ(shown.size(), whole.size());
      EXPECT_TRUE(shown == whole) << "selection " << selected;
    }
  };
  expectStepsShowAWholePaint({2, 5, 0});

  // A row wider than the panel.
  items.clear();
  for (int i = 0; i < 60; ++i)
    items.push_back(scene.application("com.example.app" + std::to_string(i), "App"));
  model.setFittedIconSize(HUDMetrics::kMinimumIcon);
  model.setItems(items);
  model.setSelectedIndex(0);
  view.resize(
      600, static_cast<int>(HUDMetrics{HUDMetrics::kMinimumIcon, false}.panelSize(60, 1, 600).height) - 24);
  expectStepsShowAWholePaint({1, 2, 30, 31, 59, 58});

  // Among stills a step repaints only the two rings, over the glass, at the panel's edges too.
  items.clear();
  for (int i = 0; i < 5; ++i)
    items.push_back(scene.window("com.example.app" + std::to_string(i), "App",
                                 "Document " + std::to_string(i),
                                 {.size = {i % 2 == 0 ? 1200.0 : 700.0, 700}}));
  present(items, true);
  model.setSelectedIndex(0);
  expectStepsShowAWholePaint({1, 2, 4, 0, 3});
  window.hide();
  view.setParent(nullptr);
}

// The glass's veil and system glass, drawn into the frost's layer once, look as they do drawn
// over the frost on every frame, at one and two pixels a point; and so do the stills, which the
// frost then leaves out beneath them.
TEST_F(HUDViewTest, TheGlassAndStillsLookTheSameWithTheVeilDrawnIntoTheFrost) {
  const double radius = HUDMetrics{100, false}.cornerRadius();
  for (GlassStyle style : {GlassStyle::appKit, GlassStyle::swiftUI}) {
    if (style == GlassStyle::appKit)
      present({scene.application("com.example.a", "A"), scene.application("com.example.b", "B")}, false);
    else
      present({scene.window("com.example.a", "A", "One"), scene.window("com.example.b", "B", "Two")}, true);
    model.setGlassStyle(style);
    auto picture = [&](bool joined, double ratio) {
      QWidget panel;
      panel.resize(view.size());
      auto frost = FrostBackdrop::make(scene.world.desktop.accessibilityDisplay(), &panel);
      frost.view->setGeometry(panel.rect());
      frost.view->setCornerRadius(radius);
      std::string key;
      FrostBackdrop::resize(*frost.fade, panel.width(), panel.height(), radius, key);
      FrostBackdrop::tune(frost.view);
      test::TestWorld& w = scene.world;
      HUDView hud(model, w.loop, w.desktop.accessibilityDisplay(), w.badges(), w.thumbnails(), w.favicons(),
                  &panel);
      hud.setGeometry(panel.rect());
      if (joined) hud.joinBackdrop(frost.view);
      return test::renderTransparent(panel, ratio);
    };
    for (double ratio : {1.0, 2.0}) {
      const QImage over = picture(false, ratio), into = picture(true, ratio);
      ASSERT_EQ(over.size(), into.size());
      int worst = 0;
      for (int y = 0; y < over.height(); ++y)
        for (int x = 0; x < over.width(); ++x) {
          const QColor a = over.pixelColor(x, y), b = into.pixelColor(x, y);
          worst = std::max({worst, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                            std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha())});
        }
      EXPECT_LE(worst, 1) << rawName(style) << " at " << ratio;
      EXPECT_NE(over.pixelColor(over.width() / 2, over.height() / 2).alpha(), 0);
    }
  }
}

TEST_F(HUDViewTest, ATabDroppedOnATabOfAnotherWindowMovesItButNotOntoItsOwnWindow) {
  SwitchableItem ownWindow = scene.window("com.google.Chrome", "Google Chrome", "Docs");
  std::vector<SwitchableItem> items{scene.tab(Browser::chrome, "1", 11, "Docs", "https://docs.example.com/"),
                                    scene.tab(Browser::chrome, "2", 21, "Mail", "https://mail.example.com/"),
                                    ownWindow,
                                    scene.tab(Browser::chrome, "2", 22, "Maps", "https://maps.example.com/")};
  present(items, true);

  press(centreOf(0));
  drag({centreOf(0).x + 5, centreOf(0).y});  // under 8 points: no drag yet
  EXPECT_EQ(model.dragIndex(), std::nullopt);
  drag(centreOf(1));
  EXPECT_EQ(model.dragIndex(), 0);
  EXPECT_EQ(model.dropIndex(), 1);
  EXPECT_EQ(dragRole(model, 3), HUDDragRole::destination);  // the other tab of the target's window
  EXPECT_EQ(dragRole(model, 2), HUDDragRole::none);
  release(centreOf(1));
  EXPECT_EQ(moves, (Moves{{0, 1}}));

  dragAndDrop(0, centreOf(2));                               // the entry of the tab's own browser window
  dragAndDrop(0, {centreOf(0).x + 20, centreOf(0).y + 20});  // its own cell
  EXPECT_EQ(moves, (Moves{{0, 1}}));
  EXPECT_TRUE(commits.empty());
}

TEST_F(HUDViewTest, AShortMoveIsAClickAndUndraggableEntriesOnlyClick) {
  present({scene.tab(Browser::chrome, "1", 11, "Docs", "https://docs.example.com/"),
           scene.window("com.apple.mail", "Mail", "Inbox"),
           scene.tab(Browser::chrome, "2", 21, "Mail", "https://m.example.com/")},
          false);
  press(centreOf(0));
  drag({centreOf(0).x + 7, centreOf(0).y});
  release({centreOf(0).x + 7, centreOf(0).y});
  press(centreOf(1));
  drag(centreOf(2));  // an application entry cannot be dragged
  EXPECT_EQ(model.dragIndex(), std::nullopt);
  release(centreOf(2));
  EXPECT_EQ(commits, std::vector<int>{0});
  EXPECT_TRUE(moves.empty());
}

TEST_F(HUDViewTest, AClickOnACellWhoseEntryChangedMeanwhileDoesNothing) {
  SwitchableItem mail = scene.window("com.apple.mail", "Mail", "Inbox");
  SwitchableItem notes = scene.window("com.apple.TextEdit", "TextEdit", "Notes");
  present({mail, notes}, true);
  const Point control = closeControlOf(0), second = centreOf(1);
  hover(control);
  press(control);
  model.setItems({notes, mail});
  release(control);
  press(second);
  model.setItems({notes, notes});
  release(second);
  EXPECT_TRUE(closes.empty());
  EXPECT_TRUE(commits.empty());
}

TEST_F(HUDViewTest, WithDraggingOffNoFramesAreCollectedAndClicksStillWork) {
  present({scene.tab(Browser::chrome, "1", 11, "Docs", "https://docs.example.com/"),
           scene.tab(Browser::chrome, "2", 21, "Mail", "https://mail.example.com/")},
          true, false);
  EXPECT_TRUE(model.cellFrames.empty());
  dragAndDrop(0, centreOf(1));
  EXPECT_EQ(model.dragIndex(), std::nullopt);
  EXPECT_TRUE(moves.empty());
  click(centreOf(1));
  EXPECT_EQ(commits, std::vector<int>{1});
}

TEST_F(HUDViewTest, TheHeaderNamesTheCachedWindowTitleOfApplicationEntries) {
  SwitchableItem mail = scene.window("com.apple.mail", "Mail", "Inbox");
  SwitchableItem tab = scene.tab(Browser::chrome, "1", 11, "(4) Chat", "https://chat.example.com/");
  mail.title = "Mail";  // the entry's own title, older than the picture's
  present({mail, tab}, true);
  EXPECT_EQ(view.cell(0)->headerTitle, "Inbox");
  EXPECT_EQ(view.cell(1)->headerTitle, "(4) Chat");
  EXPECT_EQ(view.cell(1)->dockBadge, "4");  // a tab's badge is its title count
  auto untitled = *scene.world.thumbnails().entry(mail.id);
  untitled.title = "";
  scene.world.thumbnails().storeForTesting(mail.id, std::move(untitled));
  EXPECT_EQ(view.cell(0)->headerTitle, "Mail");
}

TEST_F(HUDViewTest, TabsShowTheirSiteIconOnceLoadedAndKeepTheSymbolWithoutOne) {
  const std::string withIcon = "https://icons.example.com/page", without = "https://bare.example.com/";
  scene.serveSiteIcon(withIcon);
  present({scene.tab(Browser::chrome, "1", 11, "Icons", withIcon),
           scene.tab(Browser::chrome, "1", 12, "Bare", without)},
          false);
  scene.world.loop.advance(1);
  EXPECT_FALSE(view.cell(0)->siteIcon.isNull());
  EXPECT_TRUE(view.cell(1)->siteIcon.isNull());
}

TEST_F(HUDViewTest, TabsOnOneSiteShareOneDownloadAndATabOnANewSiteGetsThatSitesIcon) {
  const std::string docs = "https://docs.example.com/", news = "https://news.example.org/";
  scene.serveSiteIcon(docs);
  scene.serveSiteIcon(news);
  auto first = scene.tab(Browser::chrome, "1", 11, "Plan", docs + "plan");
  auto second = scene.tab(Browser::chrome, "1", 12, "Notes", docs + "notes");
  present({first, second}, false);
  scene.world.loop.advance(1);
  ASSERT_FALSE(view.cell(0)->siteIcon.isNull());
  ASSERT_FALSE(view.cell(1)->siteIcon.isNull());
  EXPECT_EQ(view.cell(0)->siteIcon, view.cell(1)->siteIcon);
  EXPECT_EQ(scene.world.http().requestCount("https://docs.example.com/favicon.ico"), 1u);

  second.url = news;  // the second tab went to another site
  present({first, second}, false);
  scene.world.loop.advance(1);
  ASSERT_FALSE(view.cell(1)->siteIcon.isNull());
  EXPECT_NE(view.cell(1)->siteIcon, view.cell(0)->siteIcon);
  EXPECT_EQ(scene.world.http().requestCount("https://news.example.org/favicon.ico"), 1u);
}

// The most alpha any pixel has in the image's rectangle (columns x0..x1, rows y0..y1, inclusive).
int mostAlphaIn(const QImage& image, int x0, int x1, int y0, int y1) {
  int most = 0;
  for (int y = std::max(0, y0); y <= std::min(y1, image.height() - 1); ++y)
    for (int x = std::max(0, x0); x <= std::min(x1, image.width() - 1); ++x)
      most = std::max(most, image.pixelColor(x, y).alpha());
  return most;
}

QImage rendered(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  widget.render(&image);
  return image;
}

TEST_F(HUDViewTest, TheSelectedTitleStaysInsideThePanelAndEndsWithAnEllipsis) {
  const std::string title = "Meeting notes for the planning of the quarterly review with everyone";
  present(
      {scene.window("com.apple.mail", "Mail", "Inbox"), scene.window("com.example.notes", "Notes", title)},
      false);
  view.show();                // laid out at its size, as in the panel
  model.setSelectedIndex(1);  // the most common chord: two entries, the second selected
  const auto cell = *view.cell(1);
  const Rect frame = view.cellFrames().at(1);
  const Rect box = cell.titleRect();
  const double hpad = cell.metrics.hpad(), width = view.bar()->width();
  EXPECT_GE(frame.x + box.x, hpad);
  EXPECT_LE(frame.x + box.maxX(), width - hpad);
  EXPECT_TRUE(cell.shownTitle().ends_with("…")) << cell.shownTitle();

  // Nothing of the title is drawn in the side paddings, where the panel's edge would cut it.
  const QImage image = rendered(*view.bar());
  const int top = static_cast<int>(frame.y + box.y), bottom = static_cast<int>(frame.y + box.maxY());
  EXPECT_GT(mostAlphaIn(image, static_cast<int>(frame.x + box.x), static_cast<int>(frame.x + box.maxX()), top,
                        bottom),
            200);  // the title is there
  EXPECT_EQ(mostAlphaIn(image, static_cast<int>(width - hpad + 1), static_cast<int>(width) - 1, top, bottom),
            0);
  EXPECT_EQ(mostAlphaIn(image, 0, static_cast<int>(hpad) - 2, top, bottom), 0);
}

TEST_F(HUDViewTest, ARowTooLongForThePanelScrollsToTheSelectionWithALegibleTitle) {
  std::vector<SwitchableItem> items;
  for (int i = 0; i < 120; ++i)
    items.push_back(
        scene.application("com.example.app" + std::to_string(i), "Application " + std::to_string(i)));
  model.setFittedIconSize(HUDMetrics::kMinimumIcon);
  model.setItems(items);
  const HUDMetrics metrics{HUDMetrics::kMinimumIcon, false};
  const auto size = metrics.panelSize(120, 1, 1392);  // the widest panel a 1440-point screen allows
  view.resize(static_cast<int>(size.width - 24), static_cast<int>(size.height - 24));
  view.show();  // laid out at its size, as in the panel
  const double hpad = metrics.hpad(), width = view.bar()->width();
  for (int selected : {0, 60, 119}) {
    model.setSelectedIndex(selected);
    const Rect frame = view.cellFrames().at(selected);
    EXPECT_GE(frame.x, hpad) << selected;
    EXPECT_LE(frame.maxX(), width - hpad) << selected;
    const auto cell = *view.cell(selected);
    EXPECT_GE(cell.metrics.titleFontSize(), HUDMetrics::kLegibleTitleSize);
    const Rect box = cell.titleRect();
    EXPECT_GE(frame.x + box.x, hpad);
    EXPECT_LE(frame.x + box.maxX(), width - hpad);
    // The selection's highlight is drawn where the cell is.
    const QImage image = rendered(*view.bar());
    EXPECT_GT(mostAlphaIn(image, static_cast<int>(frame.x), static_cast<int>(frame.maxX()) - 1,
                          static_cast<int>(frame.y), static_cast<int>(frame.y + cell.metrics.icon)),
              0)
        << selected;
  }
}

TEST_F(HUDViewTest, TheDraggedCellFadesOverATwelfthOfASecondAndBack) {
  present({scene.tab(Browser::chrome, "1", 11, "A", "https://a.example.com/"),
           scene.tab(Browser::chrome, "2", 21, "B", "https://b.example.com/")},
          false);
  press(centreOf(0));
  drag({centreOf(0).x + 12, centreOf(0).y});
  ASSERT_EQ(model.dragIndex(), 0);
  EXPECT_EQ(view.cell(0)->effectiveOpacity(), 1);  // the fade starts from the cell as it was
  scene.world.loop.advance(HUDCell::kSourceFadeDuration / 2);
  const double halfway = view.cell(0)->effectiveOpacity();
  EXPECT_GT(halfway, HUDCell::kSourceOpacity);
  EXPECT_LT(halfway, 1);
  scene.world.loop.advance(HUDCell::kSourceFadeDuration);
  EXPECT_EQ(view.cell(0)->effectiveOpacity(), HUDCell::kSourceOpacity);
  release({centreOf(0).x + 12, centreOf(0).y});
  EXPECT_LT(view.cell(0)->effectiveOpacity(), 1);  // and it fades back in
  scene.world.loop.advance(HUDCell::kSourceFadeDuration * 2);
  EXPECT_EQ(view.cell(0)->effectiveOpacity(), 1);
}

TEST_F(HUDViewTest, CellsAndTheirControlsCarryLabelsAndHelpTexts) {
  auto mail = scene.window("com.apple.mail", "Mail", "Inbox", {.minimized = true});
  present({mail, scene.window("com.example.notes", "Notes", "List")}, true);
  hover(centreOf(0));
  const auto cell = *view.cell(0);
  const Rect frame = view.cellFrames().at(0);
  const Rect badge = *cell.minimizedBadgeRect(), close = *cell.closeControlRect();
  EXPECT_EQ(cell.helpText({badge.midX(), badge.midY()}), "Minimized");
  EXPECT_EQ(cell.helpText({close.midX(), close.midY()}), "Close");
  EXPECT_EQ(cell.helpText({frame.width / 2, frame.height / 2}), std::nullopt);

  QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(view.bar());
  ASSERT_TRUE(bar);
  std::vector<std::pair<std::string, std::string>> found;
  for (int i = 0; i < bar->childCount(); ++i)
    found.emplace_back(bar->child(i)->text(QAccessible::Name).toStdString(),
                       bar->child(i)->text(QAccessible::Help).toStdString());
  EXPECT_EQ(found, (std::vector<std::pair<std::string, std::string>>{{"Inbox", ""},
                                                                     {"Inbox is minimized", "Minimized"},
                                                                     {"Close Inbox", "Close"},
                                                                     {"List", ""},
                                                                     {"Close List", "Close"}}));
}

TEST_F(HUDViewTest, AMovedFlashOutlastsANewDrag) {
  present({scene.tab(Browser::chrome, "1", 11, "A", "https://a.example.com/"),
           scene.tab(Browser::chrome, "2", 21, "B", "https://b.example.com/"),
           scene.tab(Browser::chrome, "2", 22, "C", "https://c.example.com/")},
          false);
  model.flashMoved(2);
  press(centreOf(0));
  drag(centreOf(1));
  EXPECT_EQ(model.movedIndex(), std::nullopt);  // a new drag ends the flash
  model.setMovedIndex(2);
  EXPECT_EQ(dragRole(model, 2), HUDDragRole::moved);
  EXPECT_EQ(dragRole(model, 0), HUDDragRole::source);
  EXPECT_EQ(dragRole(model, 1), HUDDragRole::target);
  release(centreOf(1));
}

}  // namespace
}  // namespace velvix
