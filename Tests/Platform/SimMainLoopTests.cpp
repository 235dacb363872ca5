#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Platform/Simulated/SimMainLoop.hpp"

namespace velvix {
namespace {

using platform::TimerMode;
using sim::SimMainLoop;

TEST(SimMainLoop, FiresTimersInTimeOrderAtTheirOwnTimes) {
  SimMainLoop loop;
  std::vector<std::pair<char, double>> fired;
  auto late = loop.after(0.3, [&] { fired.push_back({'c', loop.elapsed()}); });
  auto early = loop.after(0.1, [&] { fired.push_back({'a', loop.elapsed()}); });
  auto same = loop.after(0.1, [&] { fired.push_back({'b', loop.elapsed()}); });
  loop.advance(0.2);
  ASSERT_EQ(fired.size(), 2u);
  EXPECT_EQ(fired[0], std::make_pair('a', 0.1));
  EXPECT_EQ(fired[1], std::make_pair('b', 0.1));
  EXPECT_DOUBLE_EQ(loop.elapsed(), 0.2);
  loop.advance(1);
  ASSERT_EQ(fired.size(), 3u);
  EXPECT_EQ(fired[2].first, 'c');
  EXPECT_DOUBLE_EQ(fired[2].second, 0.3);
}

TEST(SimMainLoop, RepeatingTimerStopsWhenInvalidatedOrDestroyed) {
  SimMainLoop loop;
  int ticks = 0;
  auto timer = loop.every(1.0, [&] { ++ticks; });
  loop.advance(3.5);
  EXPECT_EQ(ticks, 3);
  timer.invalidate();
  loop.advance(5);
  EXPECT_EQ(ticks, 3);

  int scoped = 0;
  {
    auto t = loop.every(0.5, [&] { ++scoped; });
    loop.advance(1.0);
  }
  loop.advance(10);
  EXPECT_EQ(scoped, 2);
}

TEST(SimMainLoop, TimerCanCancelItselfFromItsCallback) {
  SimMainLoop loop;
  int ticks = 0;
  platform::Timer timer;
  timer = loop.every(1.0, [&] {
    if (++ticks == 2) timer.invalidate();
  });
  loop.advance(10);
  EXPECT_EQ(ticks, 2);
}

TEST(SimMainLoop, NestedRunForAdvancesTimeAndOuterAdvanceNeverGoesBack) {
  SimMainLoop loop;
  std::vector<double> seen;
  auto nested = loop.after(0.1, [&] {
    loop.runFor(0.5);  // fires the 0.3 timer inside
    seen.push_back(loop.elapsed());
  });
  auto inner = loop.after(0.3, [&] { seen.push_back(loop.elapsed()); });
  loop.advance(0.2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_DOUBLE_EQ(seen[0], 0.3);
  EXPECT_DOUBLE_EQ(seen[1], 0.6);
  EXPECT_DOUBLE_EQ(loop.elapsed(), 0.6);
}

TEST(SimMainLoop, DefaultTimersWaitWhileAMenuIsTrackedCommonOnesKeepFiring) {
  SimMainLoop loop;
  int defaults = 0, commons = 0;
  auto d = loop.every(1.0, [&] { ++defaults; });
  auto c = loop.every(
      1.0, [&] { ++commons; }, TimerMode::Common);
  loop.setMenuTracking(true);
  loop.advance(3.5);
  EXPECT_EQ(defaults, 0);
  EXPECT_EQ(commons, 3);
  loop.setMenuTracking(false);
  loop.runUntilIdle();
  EXPECT_GE(defaults, 1);
}

TEST(SimMainLoop, SpentTimeMakesTimersDueAtTheNextTurn) {
  SimMainLoop loop;
  bool fired = false;
  auto t = loop.after(0.5, [&] { fired = true; });
  loop.spend(1.0);
  EXPECT_FALSE(fired);
  EXPECT_DOUBLE_EQ(loop.elapsed(), 1.0);
  loop.runUntilIdle();
  EXPECT_TRUE(fired);
}

TEST(SimMainLoop, WorkPostedFromAnotherThreadRunsOnTheMainThread) {
  SimMainLoop loop;
  bool ranOnMain = false;
  std::thread worker([&] { loop.post([&] { ranOnMain = loop.isMainThread(); }); });
  EXPECT_TRUE(loop.runUntil([&] { return ranOnMain; }));
  worker.join();
}

TEST(SimMainLoop, ClocksMoveWithVirtualTime) {
  SimMainLoop loop;
  const double wall = loop.now(), up = loop.uptime();
  loop.advance(2.5);
  EXPECT_DOUBLE_EQ(loop.now() - wall, 2.5);
  EXPECT_DOUBLE_EQ(loop.uptime() - up, 2.5);
}

}  // namespace
}  // namespace velvix
