#include <thread>

#include <gtest/gtest.h>

#include "Platform/NotificationCenter.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"

namespace velvix {
namespace {

TEST(NotificationCenter, DeliversByNameSynchronouslyUntilTheObservationEnds) {
  platform::NotificationCenter center;
  int seen = 0;
  auto observation = center.observe("A", [&](const platform::Notification& n) {
    EXPECT_EQ(n.userInfo["ids"], nlohmann::json({"x"}));
    ++seen;
  });
  center.post("A", {{"ids", {"x"}}});
  center.post("B");
  EXPECT_EQ(seen, 1);
  observation.cancel();
  center.post("A", {{"ids", {"x"}}});
  EXPECT_EQ(seen, 1);
}

TEST(NotificationCenter, ObserverRemovedByAnEarlierObserverIsNotCalled) {
  platform::NotificationCenter center;
  platform::NotificationCenter::Observation second;
  bool secondCalled = false;
  auto first = center.observe("A", [&](const auto&) { second.cancel(); });
  second = center.observe("A", [&](const auto&) { secondCalled = true; });
  center.post("A");
  EXPECT_FALSE(secondCalled);
}

TEST(NotificationCenter, MainLoopObserverOfAPostFromAnotherThreadRunsOnTheMainThread) {
  sim::SimMainLoop loop;
  platform::NotificationCenter center;
  bool onMain = false;
  auto observation = center.observe("A", loop, [&](const auto&) { onMain = loop.isMainThread(); });
  std::thread([&] { center.post("A"); }).join();
  EXPECT_FALSE(onMain);
  EXPECT_TRUE(loop.runUntil([&] { return onMain; }));
}

TEST(NotificationCenter, ObservationMayOutliveTheCenter) {
  platform::NotificationCenter::Observation observation;
  {
    platform::NotificationCenter center;
    observation = center.observe("A", [](const auto&) {});
  }
  observation.cancel();  // must not touch the destroyed centre
}

}  // namespace
}  // namespace velvix
