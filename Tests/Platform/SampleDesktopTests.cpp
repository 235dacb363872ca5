#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Platform/Simulated/SampleDesktop.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"

namespace velvix {
namespace {

// Files with a value of the wrong type, an impossible number or a nesting no desktop has: each
// is refused with a reason before anything is added, so the program falls back to the built-in
// desktop instead of stopping or running over half a desktop.
TEST(SampleDesktop, AValueOfTheWrongTypeAnywhereRefusesTheWholeFile) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  for (const std::string& document : std::vector<std::string>{
           R"({"apps":[{"bundleID":"a","windows":[{"frame":[0,0,1,1],"minimized":1}]}]})",
           R"({"displays":[{"frame":[0,0,100,100],"current":-1.5}],"apps":[]})",
           R"({"displays":[{"frame":[0,0,100,100],"scale":"2"}],"apps":[]})",
           R"({"displays":[{"frame":[0,0,100,100],"spaces":[1,"2"]}],"apps":[]})",
           R"({"displays":[{"frame":[0,0,1e300,100]}],"apps":[]})",
           R"({"apps":[{"bundleID":"a","name":7}]})",
           R"({"apps":[{"bundleID":"a","badge":3}]})",
           R"({"apps":[{"bundleID":"b"},{"bundleID":"a","windows":[{"frame":[0,0,1,1],"title":["x"]}]}]})",
           R"({"apps":[{"bundleID":"a","windows":[{"frame":[0,0,1,1],"space":-2}]}]})",
           R"({"apps":[{"bundleID":"a","windows":[{"frame":[0,0,1,1],"private":"yes"}]}]})",
           R"({"apps":[{"bundleID":"a","windows":[{"frame":[0,0,1,1],"tabs":[{"title":1}]}]}]})",
           R"({"apps":[{"bundleID":"a","windows":[{"frame":[0,0,1,1],"tabs":{"title":"x"}}]}]})",
           R"({"apps":[{"bundleID":"a","windows":[{"frame":[0,0,1,1],"tabs":[{"title":"x"}],"active":1}]}]})",
           R"({"apps":[{"bundleID":"a","windows":[{"frame":[0,0,-5,1]}]}]})",
           R"({"apps":[],"frontmost":5})",
           R"({"apps":[{"bundleID":"a","automation":true}]})",
           R"({"apps":[],"dock":{"trash":1}})",
           R"({"apps":[],"dock":{"folders":["Downloads",2]}})",
           R"({"apps":[],"dock":{"display":-1}})",
           R"({"apps":[{"bundleID":"a","windows":[{"frame":[0,0,1,1],"extra":)" + deep + "}]}]}",
       }) {
    sim::SimMainLoop loop;
    sim::SimDesktop desktop(loop);
    const auto displays = desktop.displays().size();
    EXPECT_TRUE(sim::SampleDesktop::load(desktop, document)) << document.substr(0, 120);
    EXPECT_TRUE(desktop.apps().empty()) << document.substr(0, 120);
    EXPECT_EQ(desktop.displays().size(), displays);
  }
}

}  // namespace
}  // namespace velvix
