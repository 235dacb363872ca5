#include <gtest/gtest.h>

#include "Core/ChordSnapshot.hpp"
#include "Core/WindowList.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "TestSupport/CountingWindowServer.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using Json = nlohmann::json;
using test::CountingWindowServer;
using test::TestWorld;

std::vector<std::int64_t> numbers(const std::vector<WindowList::Info>& infos) {
  std::vector<std::int64_t> result;
  for (const auto& i : infos) result.push_back(i.windowNumber);
  return result;
}

TEST(WindowList, KeepsWindowsBigEnoughAtTheNormalLevel) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto narrow = world.desktop.addWindow(pid, {.bounds = {0, 0, 119, 400}});
  auto smallest = world.desktop.addWindow(pid, {.bounds = {0, 0, 120, 90}});
  auto menu = world.desktop.addWindow(pid, {.bounds = {0, 0, 500, 500}, .layer = 8});
  auto documents = world.desktop.addWindow(pid, {.title = "Doc", .bounds = {10, 10, 800, 600}});
  (void)narrow, (void)menu;
  EXPECT_EQ(numbers(world.windowList().realWindows(true)), (std::vector<std::int64_t>{documents, smallest}));
}

TEST(WindowList, FloatingWindowsCountOnlyForOrdinaryRegularApplications) {
  TestWorld world;
  auto editor = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto chrome = world.desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  auto agent = world.desktop.launch({.bundleID = "com.example.agent",
                                     .name = "Agent",
                                     .activationPolicy = platform::ActivationPolicy::Accessory});
  auto palette = world.desktop.addWindow(editor, {.bounds = {0, 0, 300, 300}, .layer = 3});
  world.desktop.addWindow(chrome, {.bounds = {0, 0, 300, 300}, .layer = 3});
  world.desktop.addWindow(agent, {.bounds = {0, 0, 300, 300}, .layer = 3});
  EXPECT_EQ(numbers(world.windowList().realWindows(true)), std::vector<std::int64_t>{palette});
}

TEST(WindowList, DropsThinStripsAlongTheTopOfALargerWindow) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto main = world.desktop.addWindow(pid, {.bounds = {100, 230, 800, 600}});
  world.desktop.addWindow(pid, {.bounds = {100, 130, 800, 100}});  // its bottom touches the top: dropped
  auto apart = world.desktop.addWindow(pid, {.bounds = {100, 128, 800, 100}});  // 2 points above: kept
  auto tall = world.desktop.addWindow(pid, {.bounds = {100, 0, 800, 250}});     // 250 x 3 is not below 600
  auto other = world.desktop.launch({.bundleID = "com.example.other", .name = "Other"});
  auto foreign = world.desktop.addWindow(other, {.bounds = {100, 130, 800, 100}});  // another process's
  EXPECT_EQ(numbers(world.windowList().realWindows(true)),
            (std::vector<std::int64_t>{foreign, tall, apart, main}));
}

TEST(WindowList, ThinStripsAreFoundAcrossAWholePointOfTheLeftEdgeAmongManyWindows) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  // Windows that are no strips, as many as a busy desktop has, in between.
  for (int i = 0; i < 300; ++i) world.desktop.addWindow(pid, {.bounds = {0, 0, 700, 500}});
  auto main = world.desktop.addWindow(pid, {.bounds = {100.4, 230, 800, 600}});
  world.desktop.addWindow(pid, {.bounds = {99.6, 130, 800.5, 100}});  // less than a point off: dropped
  auto off = world.desktop.addWindow(pid, {.bounds = {99.3, 130, 800, 100}});  // 1.1 points off: kept
  const auto kept = numbers(world.windowList().realWindows(false));
  EXPECT_EQ(kept.size(), 302u);
  EXPECT_EQ(std::vector<std::int64_t>(kept.begin(), kept.begin() + 2),
            (std::vector<std::int64_t>{off, main}));
}

TEST(ChordSnapshot, ReadsTheWindowServerOnceForBothKindsOfList) {
  TestWorld world;
  CountingWindowServer server(world.desktop.windowServer());
  WindowList windows(server, world.desktop.workspace(), world.ax());
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto first = world.desktop.addWindow(pid, {.bounds = {0, 0, 800, 600}});
  // A minimized window with a strip along its top that stays on screen: among the on-screen
  // windows the strip has no window to belong to.
  world.desktop.addWindow(pid, {.bounds = {100, 230, 800, 600}, .minimized = true});
  auto strip = world.desktop.addWindow(pid, {.bounds = {100, 130, 800, 100}});
  const auto onScreen = windows.realWindows(true), all = windows.realWindows(false);
  EXPECT_EQ(onScreen.size(), 2u);
  EXPECT_EQ(all.size(), 2u);
  EXPECT_NE(numbers(onScreen), numbers(all));
  EXPECT_EQ(numbers(onScreen).back(), first);
  server.reads = 0;

  const ChordSnapshot snapshot(windows, world.runningApps());
  EXPECT_EQ(numbers(snapshot.windows()), numbers(all));
  EXPECT_EQ(windows.frontWindow(pid, snapshot)->windowNumber, onScreen.front().windowNumber);
  std::vector<std::int64_t> shown;
  for (const WindowList::Info* w : snapshot.onScreenWindowsOf(pid)) shown.push_back(w->windowNumber);
  EXPECT_EQ(shown, numbers(onScreen));
  EXPECT_TRUE(snapshot.keys(true).hasNumber(strip));
  EXPECT_FALSE(snapshot.keys(false).hasNumber(strip));
  EXPECT_EQ(server.reads, 1);

  // The window list itself keeps nothing: each call outside a snapshot reads afresh.
  windows.realWindows(true);
  windows.frontWindow(pid);
  EXPECT_EQ(server.reads, 3);
}

TEST(ChordSnapshot, KeysTellAllWindowsAndTheOnScreenOnes) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto shown = world.desktop.addWindow(pid, {.bounds = {0, 0, 800, 600}});
  {
    const ChordSnapshot snapshot(world.windowList(), world.runningApps());
    EXPECT_TRUE(snapshot.keys(false).hasNumber(shown) && snapshot.keys(false).hasPid(pid));
    EXPECT_TRUE(snapshot.keys(true).hasNumber(shown) && snapshot.keys(true).hasPid(pid));
  }

  // A minimized window, and a process whose only window is minimized: listed among all windows,
  // not among the on-screen ones.
  auto hidden = world.desktop.addWindow(pid, {.bounds = {0, 0, 800, 600}, .minimized = true});
  auto other = world.desktop.launch({.bundleID = "com.example.other", .name = "Other"});
  auto otherWindow = world.desktop.addWindow(other, {.bounds = {0, 0, 800, 600}, .minimized = true});
  const ChordSnapshot snapshot(world.windowList(), world.runningApps());
  const WindowList::Keys& all = snapshot.keys(false);
  const WindowList::Keys& onScreen = snapshot.keys(true);
  EXPECT_TRUE(all.hasNumber(shown) && all.hasNumber(hidden) && all.hasNumber(otherWindow));
  EXPECT_TRUE(all.hasPid(pid) && all.hasPid(other));
  EXPECT_TRUE(onScreen.hasNumber(shown) && onScreen.hasPid(pid));
  EXPECT_FALSE(onScreen.hasNumber(hidden) || onScreen.hasNumber(otherWindow) || onScreen.hasPid(other));
  EXPECT_FALSE(onScreen.hasNumber(4242) || all.hasNumber(4242));
  EXPECT_EQ(world.windowList().frontWindow(pid, snapshot)->windowNumber, shown);
  EXPECT_FALSE(world.windowList().frontWindow(other, snapshot));
}

// A snapshot is what the platform was when it was read; the next chord's start reads its own.
TEST(ChordSnapshot, StaysAsReadAndTheNextOneReadsAfresh) {
  TestWorld world;
  CountingWindowServer server(world.desktop.windowServer());
  WindowList windows(server, world.desktop.workspace(), world.ax());
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto first = world.desktop.addWindow(pid, {.bounds = {0, 0, 800, 600}});
  const ChordSnapshot earlier(windows, world.runningApps());
  auto second = world.desktop.addWindow(pid, {.bounds = {0, 0, 800, 600}});
  world.desktop.setMinimized(first, true);
  EXPECT_EQ(numbers(earlier.windows()), (std::vector<std::int64_t>{first}));
  EXPECT_TRUE(earlier.keys(true).hasNumber(first));
  EXPECT_FALSE(earlier.keys(false).hasNumber(second));

  const ChordSnapshot next(windows, world.runningApps());
  EXPECT_EQ(server.reads, 2);
  EXPECT_TRUE(next.keys(false).hasNumber(second) && next.keys(true).hasNumber(second));
  EXPECT_TRUE(next.keys(false).hasNumber(first));
  EXPECT_FALSE(next.keys(true).hasNumber(first));
  EXPECT_EQ(windows.frontWindow(pid, next)->windowNumber, second);
}

TEST(WindowList, SkipsMalformedRowsAndReadsTheOnScreenFlagLoosely) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto visible = world.desktop.addWindow(pid, {.bounds = {0, 0, 400, 400}});
  auto minimized = world.desktop.addWindow(pid, {.bounds = {0, 0, 400, 400}, .minimized = true});
  Json good = {{"number", 9000},
               {"ownerPID", pid},
               {"layer", 0},
               {"bounds", {{"X", 0}, {"Y", 0}, {"Width", 400}, {"Height", 400}}}};
  Json layerAsText = good, pidTooBig = good, noBounds = good, badBounds = good, numberAsFloat = good;
  layerAsText["layer"] = "0";
  pidTooBig["ownerPID"] = 1ll << 40;
  noBounds.erase("bounds");
  badBounds["bounds"]["Width"] = "wide";
  numberAsFloat["number"] = 9000.5;
  world.desktop.windowServerFaults.extraRows = {layerAsText, pidTooBig,     noBounds,
                                                badBounds,   numberAsFloat, Json(7)};
  auto all = world.windowList().realWindows(false);
  EXPECT_EQ(numbers(all), (std::vector<std::int64_t>{minimized, visible}));
  EXPECT_FALSE(all[0].isOnScreen);  // off-screen rows carry no flag
  EXPECT_TRUE(all[1].isOnScreen);
  EXPECT_EQ(world.windowList().liveWindowNumbers(), (std::set<std::int64_t>{minimized, visible}));

  world.desktop.windowServerFaults.windowListFails = true;
  EXPECT_TRUE(world.windowList().realWindows(true).empty());
}

TEST(WindowList, FrontWindowPrefersTheFocusedNormalWindowOverAFloatingPanel) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto other = world.desktop.addWindow(pid, {.title = "Other"});
  auto focused = world.desktop.addWindow(pid, {.title = "Focused"});
  auto panel = world.desktop.addWindow(pid, {.title = "Panel", .bounds = {0, 0, 200, 200}, .layer = 3});
  (void)other;
  ASSERT_EQ(world.windowList().realWindows(true).front().windowNumber, panel);
  EXPECT_EQ(world.windowList().frontWindow(pid)->windowNumber, focused);

  world.desktop.accessibilityTrusted = false;  // no focused window to ask for: the first one
  EXPECT_EQ(world.windowList().frontWindow(pid)->windowNumber, panel);
  EXPECT_FALSE(world.windowList().frontWindow(4242));
}

TEST(WindowList, WindowsOnOtherSpacesAreHiddenAndFailedQueriesCountAsHidden) {
  TestWorld world;
  auto pid = world.desktop.launch({.bundleID = "com.example.editor", .name = "Editor"});
  auto here = world.desktop.addWindow(pid, {.space = 1});
  auto there = world.desktop.addWindow(pid, {.space = 2});
  auto sticky = world.desktop.addWindow(pid);
  world.desktop.window(sticky)->spaces.clear();  // on every Space
  auto unreadable = world.desktop.addWindow(pid);
  world.desktop.windowServerFaults.windowSpacesFail = {unreadable};
  EXPECT_EQ(world.windowList().numbersOnHiddenSpaces({here, there, sticky, unreadable}),
            (std::set<std::int64_t>{there, unreadable}));

  // Without the current Spaces every window that has a Space is hidden.
  world.desktop.windowServerFaults.displaySpacesFail = true;
  EXPECT_EQ(world.windowList().numbersOnHiddenSpaces({here, there, sticky}),
            (std::set<std::int64_t>{here, there}));
}

}  // namespace
}  // namespace velvix
