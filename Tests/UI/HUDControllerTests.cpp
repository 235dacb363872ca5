#include <gtest/gtest.h>

#include <QApplication>

#include "Platform/Simulated/SimScreenCapture.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "TestSupport/HUDScene.hpp"
#include "TestSupport/TempFolder.hpp"
#include "UI/FrostBackdropView.hpp"

namespace velvix {
namespace {

using Rows = HUDMetrics::Rows;

class HUDControllerTest : public ::testing::Test {
 protected:
  std::vector<SwitchableItem> applications(int count) {
    std::vector<SwitchableItem> items;
    for (int i = 0; i < count; ++i)
      items.push_back(scene.application("com.example.app" + std::to_string(i), "App " + std::to_string(i)));
    return items;
  }
  std::vector<SwitchableItem> windows(int count) {
    std::vector<SwitchableItem> items;
    for (int i = 0; i < count; ++i)
      items.push_back(scene.window("com.example.editor", "Editor", "Document " + std::to_string(i),
                                   {.size = {800, 500}}));
    return items;
  }
  HUDModel& model() { return scene.hud().model(); }
  Rect visibleFrame(std::size_t display) {
    return scene.world.desktop.screens().screens().at(display).visibleFrame;
  }

  test::HUDScene scene;
};

TEST_F(HUDControllerTest, ASingleIconGetsThePresetsLargestSizeCentredBelowTheMiddle) {
  scene.world.preferences().showThumbnails.set(false);
  scene.show(applications(1), 0);
  EXPECT_EQ(model().fittedIconSize(), 132);
  const Rect frame = *scene.hud().panelFrame();
  EXPECT_EQ(frame.size(), (Size{202, 221}));
  const Rect visible = visibleFrame(0);
  EXPECT_NEAR(frame.midX(), visible.midX(), 0.5);
  EXPECT_NEAR(frame.midY(), visible.midY() + HUDController::kCentreDrop * visible.height, 0.5);
  EXPECT_TRUE(scene.hud().isVisible());
  EXPECT_TRUE(scene.hud().panelContains({frame.midX(), frame.midY()}));
  EXPECT_FALSE(scene.hud().panelContains({frame.x - 1, frame.midY()}));
}

TEST_F(HUDControllerTest, ALongListShrinksTheIconsToFitOneRow) {
  scene.world.preferences().showThumbnails.set(false);
  scene.show(applications(40), 3);
  EXPECT_EQ(model().fittedIconSize(), 32);
  EXPECT_EQ(scene.hud().panelFrame()->size(), (Size{1353, 85}));  // room for a legible title
  EXPECT_TRUE(model().rows().empty());
  EXPECT_EQ(model().selectedIndex(), 3);
}

TEST_F(HUDControllerTest, ThePanelOpensOnTheScreenUnderThePointer) {
  scene.world.desktop.displays().push_back({.id = 2, .frame = {1440, -200, 1920, 1080}});
  scene.world.desktop.movePointer({2000, 300});
  scene.world.preferences().showThumbnails.set(false);
  scene.show(applications(3), 0);
  const Rect frame = *scene.hud().panelFrame();
  const Rect visible = visibleFrame(1);
  EXPECT_NEAR(frame.midX(), visible.midX(), 0.5);
  EXPECT_EQ(visible.intersection(frame), frame);
  // The pointer off every screen: the first screen.
  scene.world.desktop.movePointer({-500, -500});
  scene.hud().show(applications(3), 0);
  EXPECT_NEAR(scene.hud().panelFrame()->midX(), visibleFrame(0).midX(), 0.5);
}

TEST_F(HUDControllerTest, ThumbnailsAreFittedIntoAGridWithWidthsAndStillsFrozenForTheList) {
  auto items = windows(6);
  scene.show(items, 1);
  ASSERT_TRUE(model().usesThumbnails());
  EXPECT_EQ(model().fittedIconSize(), 172);
  EXPECT_EQ(model().rows(), (Rows{{0, 1, 2, 3}, {4, 5}}));
  EXPECT_EQ(model().cellWidths(), std::vector<double>(6, 290));
  EXPECT_EQ(scene.hud().panelFrame()->size(), (Size{1301, 540}));
  ASSERT_EQ(model().cellThumbs().size(), 6u);
  EXPECT_TRUE(model().cellThumbs()[5].has_value());

  // The cache changing under the open HUD changes nothing it shows.
  scene.world.thumbnails().remove(items[5].id);
  EXPECT_TRUE(model().cellThumbs()[5].has_value());
}

TEST_F(HUDControllerTest, TheFirstEntrysWindowStreamsIntoItsCellUntilTheHUDHides) {
  auto items = windows(3);
  scene.show(items, 2);
  EXPECT_EQ(model().liveItemID(), items[0].id);
  ASSERT_TRUE(model().liveFrame().has_value());
  EXPECT_LE(model().liveFrame()->pointWidth(), HUDController::kLivePreviewWidth);
  EXPECT_EQ(scene.world.desktop.screenCapture().runningStreams(), 1);
  // Kept no larger than its cell draws it (a frame fills the cell's picture, which is as wide as
  // the cell), not at the stream's size.
  EXPECT_LE(model().liveFrame()->pixelWidth(), model().cellWidths()[0] + 1);  // the bar draws at 1x here

  model().setSelectedIndex(1);  // stepping the selection leaves the stream alone
  scene.world.loop.advance(0.5);
  EXPECT_EQ(model().liveItemID(), items[0].id);

  scene.hud().hide();
  EXPECT_FALSE(scene.hud().isVisible());
  EXPECT_EQ(model().liveFrame(), std::nullopt);
  EXPECT_EQ(model().liveItemID(), std::nullopt);
  EXPECT_EQ(scene.world.desktop.screenCapture().runningStreams(), 0);
  EXPECT_EQ(model().items().size(), 3u);  // the list stays in the model
}

TEST_F(HUDControllerTest, TheHiddenFrostLetsItsPictureGoAfterAWhileNotAtOnce) {
  scene.show(applications(3), 1);
  FrostBackdropView* frost = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (!frost) frost = top->findChild<FrostBackdropView*>();
  ASSERT_NE(frost, nullptr);
  scene.hud().snapshot(1.0);
  const std::uint64_t builds = frost->layerBuilds();
  ASSERT_TRUE(frost->holdsLayer());
  // A quick chord again over the same desktop draws the frost from what it kept.
  scene.hud().hide();
  scene.world.loop.advance(HUDController::kFrostKeptAfterHide / 2);
  scene.show(applications(3), 1);
  scene.hud().snapshot(1.0);
  EXPECT_EQ(frost->layerBuilds(), builds);
  // Hidden long enough, it holds nothing; shown again, it draws the frost anew.
  scene.hud().hide();
  scene.world.loop.advance(HUDController::kFrostKeptAfterHide + 0.1);
  EXPECT_FALSE(frost->holdsLayer());
  scene.show(applications(3), 1);
  scene.hud().snapshot(1.0);
  EXPECT_TRUE(frost->holdsLayer());
  EXPECT_EQ(frost->layerBuilds(), builds + 1);
}

TEST_F(HUDControllerTest, ATabStreamsItsBrowsersFrontWindow) {
  auto tab = scene.tab(Browser::chrome, "1", 11, "Docs", "https://docs.example.com/");
  scene.show({tab, scene.window("com.apple.mail", "Mail", "Inbox")}, 1);
  EXPECT_EQ(model().liveItemID(), tab.id);
  EXPECT_TRUE(model().liveFrame().has_value());
}

TEST_F(HUDControllerTest, IconModeHasNoStillsAndNoLivePreview) {
  auto items = windows(2);
  scene.world.desktop.privacy.screenCapture = false;
  scene.show(items, 0);
  EXPECT_FALSE(model().usesThumbnails());
  EXPECT_TRUE(model().cellThumbs().empty());
  EXPECT_EQ(model().liveItemID(), std::nullopt);
  EXPECT_EQ(scene.world.desktop.screenCapture().streamsStarted(), 0);
  EXPECT_TRUE(scene.world.desktop.privacy.prompts.empty());  // showing never asks for access
}

TEST_F(HUDControllerTest, UpdateRefitsTheNewListAndCancelsADrag) {
  scene.world.preferences().dragTabsBetweenWindows.set(true);
  std::vector<SwitchableItem> tabs{scene.tab(Browser::chrome, "1", 11, "A", "https://a.example.com/"),
                                   scene.tab(Browser::chrome, "2", 21, "B", "https://b.example.com/")};
  scene.show(tabs, 0);
  scene.dragOver(0, 1);
  ASSERT_EQ(model().dropIndex(), 1);
  auto longer = tabs;
  for (auto& item : windows(5)) longer.push_back(item);
  scene.hud().update(longer, 2);
  EXPECT_EQ(model().dragIndex(), std::nullopt);
  EXPECT_TRUE(model().isGestureDead());
  EXPECT_EQ(model().items().size(), 7u);
  EXPECT_EQ(model().cellWidths().size(), 7u);
  EXPECT_EQ(model().rows().size(), 2u);
  EXPECT_EQ(model().liveItemID(), tabs[0].id);  // the live preview goes on
}

TEST_F(HUDControllerTest, WithoutAScreenTheOldListsLayoutIsClearedRatherThanReused) {
  scene.show(windows(6), 0);
  ASSERT_FALSE(model().rows().empty());
  scene.world.desktop.displays().clear();
  scene.hud().update(windows(2), 1);
  EXPECT_TRUE(model().rows().empty());
  EXPECT_TRUE(model().cellWidths().empty());
  EXPECT_TRUE(model().cellThumbs().empty());
  scene.hud().show(windows(1), 0);
  EXPECT_TRUE(model().rows().empty());
  EXPECT_TRUE(scene.hud().isVisible());  // still shown, at its last place
}

TEST_F(HUDControllerTest, UpdateBeforeAnyShowOnlyChangesTheModel) {
  scene.hud().update(applications(2), 1);
  EXPECT_FALSE(scene.hud().isVisible());
  EXPECT_FALSE(scene.hud().panelFrame());
  EXPECT_EQ(model().items().size(), 2u);
  EXPECT_EQ(model().selectedIndex(), 1);
  EXPECT_FALSE(scene.hud().snapshot());
}

TEST(HUDScenes, EveryReviewSceneDrawsAPanelIntoAPicture) {
  test::TempFolder folder;
  for (const auto& name : test::HUDScene::sceneNames()) {
    test::HUDScene scene;
    ASSERT_TRUE(scene.showScene(name)) << name;
    const QImage picture = scene.picture(1.0);
    const Rect frame = *scene.hud().panelFrame();
    EXPECT_EQ(picture.size(), QSize(static_cast<int>(frame.width), static_cast<int>(frame.height))) << name;
    EXPECT_GT(picture.pixelColor(picture.width() / 2, picture.height() / 2).alpha(), 0) << name;
    EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0) << name;  // the frost fades out towards the corners
    const auto file = folder.path() / (name + ".png");
    EXPECT_TRUE(scene.save(file)) << name;
    EXPECT_GT(std::filesystem::file_size(file), 0u) << name;
  }
  test::HUDScene scene;
  EXPECT_FALSE(scene.showScene("no such scene"));
  EXPECT_EQ(scene.showList(nlohmann::json::parse(R"([{"kind": "planet"}])"), 0), "unknown kind \"planet\"");
  EXPECT_EQ(scene.showList(nlohmann::json::parse(R"([{"kind": "tab", "browser": "mosaic"}])"), 0),
            "unknown browser \"mosaic\"");
  EXPECT_EQ(
      scene.showList(nlohmann::json::parse(R"([{"kind": "window", "aspect": 1.5}, {"kind": "app"}])"), 1),
      std::nullopt);
  EXPECT_EQ(scene.hud().model().items().size(), 2u);
}

}  // namespace
}  // namespace velvix
