#include <gtest/gtest.h>

#include "Platform/Simulated/SimDesktopScene.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "Support/DockObserver.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using Hit = DockObserver::Hit;
using Item = DockObserver::Item;
using sim::SimDockItem;

// A Dock as people have it: applications, a separator, a folder, a minimized window, the trash.
struct DockWorld : test::TestWorld {
  DockWorld() {
    dock.start();
    mailIcon = dock.addApplication(mail, "3");
    chromeIcon = dock.addApplication(chrome);
    dock.add({.kind = SimDockItem::Kind::separator});
    folder = dock.add(
        {.kind = SimDockItem::Kind::folder, .title = "Downloads", .url = "file:///Users/u/Downloads/"});
    trash = dock.add({.kind = SimDockItem::Kind::trash, .title = "Trash"});
    minimized = desktop.addWindow(mail, {.title = "Draft", .minimized = true});
    services();
  }
  platform::Pid mail = desktop.launch({.bundleID = "com.apple.mail", .name = "Mail"});
  platform::Pid chrome = desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  sim::SimDock& dock = desktop.dock();
  std::uint64_t mailIcon = 0, chromeIcon = 0, folder = 0, trash = 0;
  std::int64_t minimized = 0;
  DockObserver observer{desktop.workspace(), desktop.accessibility(), desktop.screens(), desktop.bundles(),
                        loop};

  Rect frame(std::uint64_t icon) { return *dock.frame(icon); }
  Point centre(std::uint64_t icon) { return {frame(icon).midX(), frame(icon).midY()}; }
  // What the "Simulated desktop" window draws: its tiles' frames, in order.
  std::vector<Rect> drawnTiles() {
    std::vector<Rect> frames;
    for (const auto& tile : sim::SimDesktopScene::build(desktop).dock) frames.push_back(tile.frame);
    return frames;
  }
};

class NoScreens final : public platform::Screens {
 public:
  std::vector<platform::ScreenInfo> screens() const override { return {}; }
  Point pointerLocation() const override { return {}; }
};

TEST(DockObserver, ListsTheApplicationIconsAsTheDesktopWindowDrawsThem) {
  DockWorld w;
  const std::uint64_t stray = w.dock.add({.title = "Web clip", .url = "https://example.org/"});
  const auto items = w.observer.applicationItems();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], (Item{"com.apple.mail", "Mail", w.frame(w.mailIcon)}));
  EXPECT_EQ(items[1], (Item{"com.google.Chrome", "Google Chrome", w.frame(w.chromeIcon)}));
  EXPECT_EQ(items[2], (Item{std::nullopt, "Web clip", w.frame(stray)}));  // no bundle, still listed

  // The Dock's order and frames are the drawn ones: applications, separator, folder, minimized
  // window, trash, side by side along the bottom of the screen.
  const auto tiles = w.drawnTiles();
  ASSERT_EQ(tiles.size(), 7u);
  EXPECT_EQ(tiles[0], items[0].frame);
  EXPECT_EQ(tiles[2], items[2].frame);
  EXPECT_EQ(tiles[3].width, sim::SimDock::kSeparatorWidth);
  EXPECT_EQ(tiles[6], w.frame(w.trash));
  EXPECT_EQ(tiles[0].maxY(), 900 - (sim::SimScreens::kDockHeight - sim::SimDock::kTileSize) / 2);
}

TEST(DockObserver, HitTestTellsApplicationIconsFromTheRestOfTheDock) {
  DockWorld w;
  const Item mail{"com.apple.mail", "Mail", w.frame(w.mailIcon)};
  EXPECT_EQ(w.observer.item(w.centre(w.mailIcon)), Hit::app(mail));
  // A point on a part of an icon, up to three levels below it, still names the icon.
  w.dock.item(w.mailIcon)->nesting = 3;
  EXPECT_EQ(w.observer.item(w.centre(w.mailIcon)), Hit::app(mail));
  w.dock.item(w.mailIcon)->nesting = 4;
  EXPECT_EQ(w.observer.item(w.centre(w.mailIcon)), Hit::other());

  const Rect separator = w.drawnTiles()[2];
  EXPECT_EQ(w.observer.item({separator.midX(), separator.midY()}), Hit::other());
  EXPECT_EQ(w.observer.item(w.centre(w.folder)), Hit::other());
  EXPECT_EQ(w.observer.item(w.centre(w.trash)), Hit::other());
  for (const auto& icon : w.dock.items()) {
    if (icon.window == w.minimized) {
      EXPECT_EQ(w.observer.item(w.centre(icon.id)), Hit::other());
    }
  }
  EXPECT_EQ(w.observer.item({20, 880}), Hit::other());     // the Dock's background
  EXPECT_EQ(w.observer.item({720, 400}), Hit::unknown());  // not on the Dock at all
}

TEST(DockObserver, FaultsDegradeToTheSafeAnswers) {
  DockWorld w;
  // An icon whose frame cannot be read is left out of the list and is unknown under the pointer.
  w.dock.item(w.chromeIcon)->failingAttributes = {"AXPosition"};
  EXPECT_EQ(w.observer.applicationItems().size(), 1u);
  EXPECT_EQ(w.observer.item(w.centre(w.chromeIcon)), Hit::unknown());
  // A walk that cannot go up from a part of an icon ends in "other".
  w.dock.item(w.mailIcon)->nesting = 1;
  w.dock.item(w.mailIcon)->failingAttributes = {"AXParent"};
  EXPECT_EQ(w.observer.item(w.centre(w.mailIcon)), Hit::other());
  w.dock.hitTestFails = true;
  EXPECT_EQ(w.observer.item(w.centre(w.mailIcon)), Hit::unknown());
  w.dock.hitTestFails = false;

  NoScreens none;
  const DockObserver withoutScreens{w.desktop.workspace(), w.desktop.accessibility(), none,
                                    w.desktop.bundles(), w.loop};
  EXPECT_TRUE(withoutScreens.applicationItems().empty());
  EXPECT_EQ(withoutScreens.item(w.centre(w.folder)), Hit::unknown());

  w.dock.quit();
  EXPECT_TRUE(w.observer.applicationItems().empty());
  EXPECT_EQ(w.observer.item(w.centre(w.folder)), Hit::unknown());
  EXPECT_TRUE(sim::SimDesktopScene::build(w.desktop).dock.empty());  // and nothing is drawn
}

TEST(DockObserver, ADockOnAnotherScreenThanThePrimaryOneKeepsItsFrames) {
  DockWorld w;
  // The primary screen above a larger one that holds the Dock.
  w.desktop.displays().push_back({.id = 2, .frame = {-240, 900, 1920, 1080}});
  w.dock.display = 1;
  const auto items = w.observer.applicationItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].frame, w.drawnTiles()[0]);
  EXPECT_EQ(items[0].frame.maxY(), 1980 - (sim::SimScreens::kDockHeight - sim::SimDock::kTileSize) / 2);
  EXPECT_NEAR(items[0].frame.x + (w.drawnTiles().back().maxX() - items[0].frame.x) / 2, 720, 0.001);
  EXPECT_EQ(w.observer.item(w.centre(w.chromeIcon)).item->bundleID, "com.google.Chrome");
  // The Dock takes its room from the screen that holds it.
  const auto screens = w.desktop.screens().screens();
  EXPECT_EQ(screens[0].visibleFrame.maxY(), 900);
  EXPECT_EQ(screens[1].visibleFrame.maxY(), 1980 - sim::SimScreens::kDockHeight);
}

TEST(DockObserver, ASlowDockCostsABoundedTime) {
  DockWorld w;
  for (int i = 0; i < 3; ++i)
    w.dock.addApplication(w.desktop.launch({.bundleID = "com.example." + std::to_string(i)}));
  // Five messages per icon at 0.04 s each: the walk stops after the second icon (0.3 s budget).
  w.desktop.app(*w.dock.pid())->axLatency = 0.04;
  EXPECT_EQ(w.observer.applicationItems().size(), 2u);

  // A Dock that answers each message, but too slowly for the hit test as a whole: unknown, soon.
  double before = w.loop.uptime();
  EXPECT_EQ(w.observer.item(w.centre(w.mailIcon)), Hit::unknown());
  EXPECT_LE(w.loop.uptime() - before, DockObserver::kHitBudget + 2 * 0.04 + 1e-9);  // at most the frame's two

  w.desktop.app(*w.dock.pid())->axUnresponsive = true;
  before = w.loop.uptime();
  EXPECT_EQ(w.observer.item(w.centre(w.mailIcon)), Hit::unknown());
  EXPECT_NEAR(w.loop.uptime() - before, DockObserver::kHitMessagingTimeout, 1e-9);  // one message
  before = w.loop.uptime();
  EXPECT_TRUE(w.observer.applicationItems().empty());
  EXPECT_NEAR(w.loop.uptime() - before, DockObserver::kListMessagingTimeout, 1e-9);
}

}  // namespace
}  // namespace velvix
