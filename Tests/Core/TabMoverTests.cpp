#include <gtest/gtest.h>

#include "Core/TabMover.hpp"
#include "TestSupport/BridgeTest.hpp"

namespace velvix {
namespace {

using test::extensionTab;
using test::report;
using test::tabObject;

// Chrome's relay connected under session "s"; tabs 12 (index 2) and 15 (index 5) in window 1,
// tab 30 in window 3.
class TabMoverTest : public test::BridgeTest {
 protected:
  TabMoverTest() { bridge.handle(relay.client, report("chrome", "hello", "s")); }
  void reportTab(const std::string& event, std::int64_t tabID, std::int64_t windowID, std::int64_t index,
                 const std::string& url, const std::string& session = "s") {
    bridge.handle(relay.client,
                  report("chrome", event, session, {{"tab", tabObject(tabID, windowID, url, true, index)}}));
  }
  std::function<void()> counting(int& confirmations) {
    return [&confirmations] { ++confirmations; };
  }

  TabMover& mover = world.tabMover();
  platform::Pid chrome = connectionsComeFrom("com.google.Chrome", "Google Chrome");
  Peer relay = peers.connect();  // judged as it connects: after Chrome is its browser
  SwitchableItem left = extensionTab(Browser::chrome, "s", 12, "1", "https://left.example/", 2);
  SwitchableItem right = extensionTab(Browser::chrome, "s", 15, "1", "https://right.example/", 5);
  SwitchableItem far = extensionTab(Browser::chrome, "s", 30, "3", "https://far.example/", 0);
};

TEST_F(TabMoverTest, OnlyTabsOfOneConnectedChromiumBrowserSessionAndPrivacyMeet) {
  EXPECT_TRUE(mover.canDrag(left));
  auto brave = extensionTab(Browser::brave, "s", 12, "1", "https://left.example/");
  EXPECT_FALSE(mover.canDrag(brave));  // its extension is not connected
  EXPECT_FALSE(mover.canDrag(extensionTab(Browser::safari, "s", 12, "1", "https://left.example/")));
  EXPECT_FALSE(mover.canDrag(extensionTab(Browser::vscode, "s", 12, "1", "file:///a")));
  auto scripted = left;
  scripted.source = TabSource::appleScript;
  EXPECT_FALSE(mover.canDrag(scripted));

  EXPECT_TRUE(TabMover::canDrop(left, right));
  EXPECT_TRUE(TabMover::canDrop(brave, extensionTab(Browser::brave, "s", 13, "1", "https://x.example/")));
  EXPECT_FALSE(TabMover::canDrop(left, left));
  EXPECT_FALSE(TabMover::canDrop(left, brave));
  auto secret = right;
  secret.isPrivate = true;
  EXPECT_FALSE(TabMover::canDrop(left, secret));
  EXPECT_FALSE(
      TabMover::canDrop(left, extensionTab(Browser::chrome, "other", 15, "1", "https://right.example/")));
  EXPECT_FALSE(TabMover::canDrop(
      left, extensionTab(Browser::chrome, std::nullopt, 15, "1", "https://right.example/")));
}

TEST_F(TabMoverTest, WithinAWindowTheTabLandsOnOrAfterTheTarget) {
  EXPECT_EQ(TabMover::reorderIndex(left, right, "1"), 5);
  EXPECT_EQ(TabMover::reorderIndex(right, left, "1"), 3);
  EXPECT_EQ(TabMover::reorderIndex(left, far, "3"), std::nullopt);
  auto unplaced = left;
  unplaced.tabIndex.reset();
  EXPECT_EQ(TabMover::reorderIndex(unplaced, right, "1"), std::nullopt);
}

TEST_F(TabMoverTest, AMoveWithinAWindowIsConfirmedOnlyAtItsExpectedPlace) {
  int confirmations = 0;
  ASSERT_TRUE(mover.move(left, right, counting(confirmations)));
  EXPECT_EQ(relay.readLine(), R"({"cmd":"move","tabId":12,"targetTabId":15})");
  EXPECT_TRUE(logged("move tab 12 onto 15 (chrome win 1\u21921) target.tabIndex=5 sent=true"));

  reportTab("updated", 12, 1, 4, "https://left.example/");  // not yet where it should be
  EXPECT_EQ(confirmations, 0);
  world.loop.advance(5);
  reportTab("updated", 12, 1, 5, "https://left.example/");  // the inventory never held it: still news
  EXPECT_EQ(confirmations, 1);
  EXPECT_TRUE(logged("move confirmed: tab:chrome:s:12 now in window 1"));
  reportTab("activated", 12, 1, 5, "https://left.example/");
  EXPECT_EQ(confirmations, 1);
  EXPECT_TRUE(mover.pending().empty());
}

TEST_F(TabMoverTest, AMoveAcrossWindowsIsConfirmedByTheTabOrItsPageInTheDestination) {
  int confirmations = 0;
  ASSERT_TRUE(mover.move(left, far, counting(confirmations)));
  reportTab("activated", 12, 1, 0, "https://left.example/");  // still in its old window
  reportTab("activated", 77, 3, 1, "https://other.example/");
  EXPECT_EQ(confirmations, 0);
  reportTab("activated", 78, 3, 1, "https://left.example/");  // the moved tab under a new id
  EXPECT_EQ(confirmations, 1);
  EXPECT_TRUE(logged("move confirmed: tab:chrome:s:78 now in window 3"));

  auto blank = left;
  blank.url = "about:blank";
  ASSERT_TRUE(mover.move(blank, far, counting(confirmations)));
  reportTab("activated", 79, 3, 1, "about:blank");
  EXPECT_EQ(confirmations, 1);
  reportTab("activated", 12, 3, 1, "about:blank");
  EXPECT_EQ(confirmations, 2);
}

TEST_F(TabMoverTest, AnExpiredMoveIsNeverConfirmedAndTheOlderOfTwoMovesGoesFirst) {
  int late = 0;
  ASSERT_TRUE(mover.move(left, far, counting(late)));
  world.loop.advance(7);
  reportTab("activated", 12, 3, 0, "https://left.example/");
  EXPECT_EQ(late, 0);
  EXPECT_TRUE(mover.pending().empty());

  int first = 0, second = 0;
  auto another = extensionTab(Browser::chrome, "s", 13, "1", "https://left.example/", 3);
  ASSERT_TRUE(mover.move(left, far, counting(first)));
  ASSERT_TRUE(mover.move(another, far, counting(second)));
  reportTab("activated", 90, 3, 0, "https://left.example/");  // fits both
  EXPECT_EQ(std::pair(first, second), std::pair(1, 0));
  reportTab("activated", 91, 3, 1, "https://left.example/");
  EXPECT_EQ(std::pair(first, second), std::pair(1, 1));
}

TEST_F(TabMoverTest, AMoveWithoutAConnectionIsNotSentAndWaitsForNothing) {
  int confirmations = 0;
  auto other = extensionTab(Browser::chrome, "t", 12, "1", "https://left.example/", 2);
  auto otherTarget = extensionTab(Browser::chrome, "t", 15, "1", "https://right.example/", 5);
  EXPECT_FALSE(mover.move(other, otherTarget, counting(confirmations)));
  EXPECT_TRUE(logged("move tab 12 onto 15 (chrome win 1\u21921) target.tabIndex=5 sent=false"));
  EXPECT_TRUE(mover.pending().empty());
  EXPECT_FALSE(mover.move(left, left, counting(confirmations)));
}

TEST_F(TabMoverTest, ReportsFindTheMovedTabByTheInventorysOwnIdWhateverItsSession) {
  for (const std::string& session : {std::string("4f1c9a2e-77d0-4b1e"), std::string("")}) {
    Peer peer = peers.connect();
    bridge.handle(peer.client, report("chrome", "hello", session));
    int confirmations = 0;
    auto dragged = extensionTab(Browser::chrome, session, 12, "1", "https://left.example/", 2);
    auto target = extensionTab(Browser::chrome, session, 15, "1", "https://right.example/", 5);
    ASSERT_TRUE(mover.move(dragged, target, counting(confirmations))) << session;
    reportTab("updated", 12, 1, 5, "https://left.example/", session);
    EXPECT_EQ(confirmations, 1) << session;
  }
}

}  // namespace
}  // namespace velvix
