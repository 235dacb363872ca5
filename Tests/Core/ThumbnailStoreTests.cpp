#include <gtest/gtest.h>

#include "Core/ThumbnailStore.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

struct ThumbWorld : TestWorld {
  ThumbWorld() { defaults.set("debugLogging", true); }
  platform::Pid editor = desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  std::string key(std::int64_t number) { return SwitchableItem::windowItemID("com.example.editor", number); }
  // Captures and lets the capture finish.
  void capture(std::int64_t number, std::vector<std::string> keys, bool force = false) {
    thumbnails().captureWindow(number, editor, std::move(keys), force);
    loop.advance(1.0);
  }
};

TEST(ThumbnailStore, CapturesAWindowUnderEveryKeyScaledToAtMost480PixelsWide) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor, {.title = "Doc", .bounds = {0, 0, 960, 600}});
  std::vector<std::string> captured;
  auto observation = w.notifications().observe(ThumbnailStore::kDidCaptureNotification, [&](const auto& n) {
    for (const auto& id : n.userInfo["ids"]) captured.push_back(id);
  });
  w.capture(number, {"app:x", w.key(number)});
  ASSERT_TRUE(w.thumbnails().contains("app:x"));
  const auto* entry = w.thumbnails().entry(w.key(number));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->image.pixelWidth(), 480);
  EXPECT_EQ(entry->image.pixelHeight(), 300);
  EXPECT_EQ(entry->title, "Doc");
  EXPECT_EQ(captured, (std::vector<std::string>{"app:x", w.key(number)}));
}

TEST(ThumbnailStore, EmptyKeysUnavailableCaptureAndSecureInputDoNothingButCallBack) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor);
  int callbacks = 0;
  w.thumbnails().captureWindow(number, w.editor, {}, false, [&] { ++callbacks; });
  w.preferences().showThumbnails.set(false);
  w.thumbnails().captureWindow(number, w.editor, {w.key(number)}, true, [&] { ++callbacks; });
  w.preferences().showThumbnails.set(true);
  w.desktop.privacy.screenCapture = false;
  w.thumbnails().captureWindow(number, w.editor, {w.key(number)}, true, [&] { ++callbacks; });
  w.desktop.privacy.screenCapture = true;
  w.desktop.secureInput.enabled = true;
  w.thumbnails().captureWindow(number, w.editor, {w.key(number)}, true, [&] { ++callbacks; });
  EXPECT_EQ(callbacks, 4);
  w.loop.advance(1);
  EXPECT_EQ(w.desktop.screenshotsTaken, 0);
  EXPECT_EQ(w.thumbnails().count(), 0u);
}

TEST(ThumbnailStore, InFlightFreshnessAndForce) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor);
  w.thumbnails().captureWindow(number, w.editor, {w.key(number)}, false);
  w.thumbnails().captureWindow(number, w.editor, {w.key(number)}, true);  // in flight: nothing
  w.loop.advance(0.5);
  EXPECT_EQ(w.desktop.screenshotsTaken, 1);
  w.capture(number, {w.key(number)});  // fresh: nothing
  EXPECT_EQ(w.desktop.screenshotsTaken, 1);
  w.capture(number, {w.key(number)}, true);
  EXPECT_EQ(w.desktop.screenshotsTaken, 2);
}

TEST(ThumbnailStore, ThreeFailuresBackOffForSixtySecondsAndASuccessClearsThem) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor);
  w.desktop.window(number)->captureFails = true;
  for (int i = 0; i < 3; ++i) {
    w.capture(number, {w.key(number)});
    w.loop.advance(1.0);
  }
  const int attempts = w.desktop.screenshotsTaken;  // failing shots are not counted as taken
  w.desktop.window(number)->captureFails = false;
  w.loop.advance(28);
  w.capture(number, {w.key(number)});  // 30 s after the last attempt: refused
  EXPECT_FALSE(w.thumbnails().contains(w.key(number)));
  w.loop.advance(29.5);
  w.capture(number, {w.key(number)});
  EXPECT_TRUE(w.thumbnails().contains(w.key(number)));
  EXPECT_EQ(w.desktop.screenshotsTaken, attempts + 1);
  auto lines = w.debugLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "capture " + std::to_string(number) + " failed: The stream was interrupted."),
            lines.end());
}

TEST(ThumbnailStore, AWindowThatMovesDuringTheShotIsNotStored) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor);
  w.thumbnails().captureWindow(number, w.editor, {w.key(number)}, true);
  w.loop.advance(w.desktop.captureLatency * 1.5);  // the shareable content is in; the shot is under way
  w.desktop.window(number)->bounds.x += 10;
  w.loop.advance(1);
  EXPECT_FALSE(w.thumbnails().contains(w.key(number)));
  auto lines = w.debugLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("capture " + std::to_string(number) + " failed: state moved", 0), 0u);
}

TEST(ThumbnailStore, SettleChainWaitsForTheWindowToStopFadingAndGivesUpOnOneThatKeepsMoving) {
  ThumbWorld w;
  auto fading = w.desktop.addWindow(w.editor);
  w.desktop.window(fading)->alpha = 0.5;
  w.thumbnails().captureWhenSettled(fading, w.editor, {w.key(fading)}, ThumbnailStore::kSettleDelay, 0);
  w.loop.advance(0.8);  // first sample taken at 0.7 s (faded)
  w.desktop.window(fading)->alpha = 1.0;
  w.loop.advance(0.3);  // second sample at 0.9 s differs: try again
  EXPECT_FALSE(w.thumbnails().contains(w.key(fading)));
  w.loop.advance(1.0);
  EXPECT_TRUE(w.thumbnails().contains(w.key(fading)));

  auto restless = w.desktop.addWindow(w.editor);
  auto mover = w.loop.every(0.05, [&] { w.desktop.window(restless)->bounds.x += 1; });
  w.thumbnails().captureWhenSettled(restless, w.editor, {w.key(restless)}, ThumbnailStore::kSettleDelay, 0);
  w.loop.advance(10);
  EXPECT_FALSE(w.thumbnails().contains(w.key(restless)));
}

TEST(ThumbnailStore, TransparentMarginsAreTrimmedButTinyOrEmptyContentIsKeptAsItCame) {
  ThumbWorld w;
  auto framed = w.desktop.addWindow(w.editor, {.bounds = {0, 0, 400, 300}});
  w.desktop.window(framed)->captureMargin = 20;
  auto empty = w.desktop.addWindow(w.editor, {.bounds = {0, 0, 400, 300}});
  w.desktop.window(empty)->transparentContent = true;
  w.capture(framed, {w.key(framed)});
  w.capture(empty, {w.key(empty)});
  ASSERT_TRUE(w.thumbnails().contains(w.key(framed)) && w.thumbnails().contains(w.key(empty)));
  EXPECT_EQ(w.thumbnails().entry(w.key(framed))->image.pixelWidth(), 360);
  EXPECT_EQ(w.thumbnails().entry(w.key(framed))->image.pixelHeight(), 260);
  EXPECT_EQ(w.thumbnails().entry(w.key(empty))->image.pixelWidth(), 400);
}

TEST(ThumbnailStore, EvictionKeepsTheEightyNewest) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor);
  for (int i = 0; i < 80; ++i)
    w.thumbnails().storeForTesting("old:" + std::to_string(i),
                                   {RGBAImage(), std::nullopt, w.loop.uptime() - 100 + i});
  w.capture(number, {"new:a", "new:b"});
  EXPECT_EQ(w.thumbnails().count(), 80u);
  EXPECT_FALSE(w.thumbnails().contains("old:0"));
  EXPECT_FALSE(w.thumbnails().contains("old:1"));
  EXPECT_TRUE(w.thumbnails().contains("old:2"));
  EXPECT_TRUE(w.thumbnails().contains("new:b"));
}

TEST(ThumbnailStore, PicturesStayWithinTheByteBudgetOldestFirstAndASharedPictureCountsOnce) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor, {.bounds = {0, 0, 960, 600}});
  // Five pictures of 5 MiB, the last under two ids: 25 MiB, more than the budget.
  const auto big = [] { return RGBAImage::filled(1024, 1280, {0, 0, 0, 255}); };
  auto& store = w.thumbnails();
  for (int i = 0; i < 5; ++i)
    store.storeForTesting("old:" + std::to_string(i), {big(), std::nullopt, w.loop.uptime() - 100 + i});
  store.storeForTesting("old:4b", *store.entry("old:4"));
  w.capture(number, {w.key(number)});
  // The new still (480 x 300) fits once the two oldest went: 3 x 5 MiB + 0.55 MiB.
  EXPECT_EQ(store.count(), 5u);
  EXPECT_FALSE(w.thumbnails().contains("old:0"));
  EXPECT_FALSE(w.thumbnails().contains("old:1"));
  EXPECT_TRUE(w.thumbnails().contains("old:2"));
  EXPECT_TRUE(w.thumbnails().contains("old:4b"));
  EXPECT_TRUE(w.thumbnails().contains(w.key(number)));
}

TEST(ThumbnailStore, RekeyKeepsTheNewerPicture) {
  ThumbWorld w;
  auto& store = w.thumbnails();
  store.storeForTesting("tab:a", {RGBAImage::filled(2, 2, {1, 1, 1, 255}), std::nullopt, 10});
  store.storeForTesting("tab:b", {RGBAImage::filled(3, 3, {2, 2, 2, 255}), std::nullopt, 20});
  store.rekey("tab:a", "tab:b");
  EXPECT_FALSE(store.contains("tab:a"));
  ASSERT_TRUE(store.contains("tab:b"));
  EXPECT_EQ(store.entry("tab:b")->image.pixelWidth(), 3);
  store.storeForTesting("tab:c", {RGBAImage::filled(4, 4, {3, 3, 3, 255}), std::nullopt, 30});
  store.rekey("tab:c", "tab:b");
  EXPECT_EQ(store.entry("tab:b")->image.pixelWidth(), 4);
}

TEST(ThumbnailStore, ACaptureThatFinishesAfterItsEntryLeftStoresNothingForIt) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor, {.title = "Doc"});
  w.thumbnails().captureWindow(number, w.editor, {"tab:chrome:7", w.key(number)}, false);
  w.thumbnails().remove("tab:chrome:7");  // the tab closed while its picture was being taken
  w.loop.advance(1.0);
  EXPECT_FALSE(w.thumbnails().contains("tab:chrome:7"));
  EXPECT_TRUE(w.thumbnails().contains(w.key(number)));
  w.capture(number, {"tab:chrome:7"}, true);  // a later capture for the id stores again
  EXPECT_TRUE(w.thumbnails().contains("tab:chrome:7"));
}

TEST(ThumbnailStore, ExcludedApplicationsArePurgedAndACaptureUnderWayIsNotStored) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor);
  for (const char* id :
       {"app:com.google.Chrome", "tab:chrome:12", "tab:chromeBeta:12", "win:com.example.other:5"})
    w.thumbnails().storeForTesting(id, {});
  w.thumbnails().captureWindow(number, w.editor, {w.key(number)}, false);
  auto list = Preferences::builtInExcludedBundleIDs();
  list.push_back("com.google.Chrome");
  list.push_back("com.example.editor");
  w.preferences().excludedBundleIDs.set(list);
  w.loop.advance(1);
  EXPECT_FALSE(w.thumbnails().contains("app:com.google.Chrome"));
  EXPECT_FALSE(w.thumbnails().contains("tab:chrome:12"));
  EXPECT_TRUE(w.thumbnails().contains("tab:chromeBeta:12"));
  EXPECT_TRUE(w.thumbnails().contains("win:com.example.other:5"));
  EXPECT_FALSE(w.thumbnails().contains(w.key(number)));
  w.capture(number, {w.key(number)}, true);  // and never again
  EXPECT_FALSE(w.thumbnails().contains(w.key(number)));
}

TEST(ThumbnailStore, SeedingTakesEachBrowsersFrontWindowOnceAndOwnWindowsButMissingCaptureSkipsThem) {
  ThumbWorld w;
  auto chrome = w.launchWithWindows("com.google.Chrome", "Google Chrome", {"C1", "C2", "C3"});
  auto chromeFront = w.desktop.windowsOf(chrome).front();
  auto own = w.desktop.addWindow(w.desktop.selfPid(), {.title = "Settings"});
  auto doc = w.desktop.addWindow(w.editor, {.title = "Doc"});
  SwitchableItem tab;
  tab.id = "tab:chrome:7";
  tab.kind = ItemKind::tab;
  tab.browser = Browser::chrome;
  tab.bundleID = "com.google.Chrome";
  w.mru().stateForTesting().items.push_back(tab);
  w.thumbnails().seedVisibleWindows();
  w.loop.advance(1);
  EXPECT_TRUE(w.thumbnails().contains("tab:chrome:7"));
  EXPECT_TRUE(w.thumbnails().contains("app:com.google.Chrome"));
  EXPECT_TRUE(w.thumbnails().contains("win:com.kolvi.velvix:" + std::to_string(own)));
  EXPECT_TRUE(w.thumbnails().contains(w.key(doc)));
  EXPECT_EQ(w.desktop.screenshotsTaken, 3);
  (void)chromeFront;

  // The missing-window capture picks ordinary applications only: the new editor window, not ours.
  auto second = w.desktop.addWindow(w.editor, {.title = "Second"});
  w.desktop.addWindow(w.desktop.selfPid(), {.title = "Set-up"});
  w.desktop.raiseWindow(second);
  w.thumbnails().captureOneMissingWindow();
  w.loop.advance(3);
  EXPECT_TRUE(w.thumbnails().contains(w.key(second)));
  w.thumbnails().captureOneMissingWindow();
  w.loop.advance(3);
  EXPECT_EQ(w.thumbnails().count(), 5u);
}

TEST(ThumbnailStore, HeldWindowsWaitAndFullScaleCaptureUsesTheDensestScreen) {
  ThumbWorld w;
  auto number = w.desktop.addWindow(w.editor, {.bounds = {0, 0, 300, 200}});
  w.thumbnails().holdCaptures(number, w.loop.uptime() + 1.2);
  w.capture(number, {w.key(number)}, true);
  EXPECT_FALSE(w.thumbnails().contains(w.key(number)));
  w.loop.advance(0.5);
  w.capture(number, {w.key(number)}, true);
  EXPECT_TRUE(w.thumbnails().contains(w.key(number)));
  EXPECT_FALSE(w.thumbnails().hasHold(number));

  w.desktop.displays().push_back({.id = 2, .frame = {1440, 0, 1920, 1080}, .backingScale = 3.0});
  std::optional<RGBAImage> still;
  w.thumbnails().captureAtWindowScale(number, [&](std::optional<RGBAImage> image) { still = image; });
  w.loop.advance(1);
  ASSERT_TRUE(still);
  EXPECT_EQ(still->pixelWidth(), 900);
  EXPECT_DOUBLE_EQ(still->pointWidth(), 300);
}

}  // namespace
}  // namespace velvix
