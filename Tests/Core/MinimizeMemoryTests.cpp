#include <gtest/gtest.h>

#include <algorithm>

#include "Core/MinimizeMemory.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using Numbers = std::set<std::int64_t>;
using Json = nlohmann::json;

struct MemoryWorld : test::TestWorld {
  MemoryWorld() { services(); }
  MinimizeMemory memory{defaults, log()};
  Json stored() { return defaults.object(MinimizeMemory::kKey).value_or(Json()); }
  bool logged(const std::string& part) {
    const auto lines = debugLines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
  }
};

TEST(MinimizeMemory, KeepsOneRecordPerApplicationRunAndForgetsIt) {
  MemoryWorld w;
  w.memory.record("com.apple.mail", 501, {140}, {131, 120});
  w.memory.record("com.apple.TextEdit", 502, {200}, {});
  EXPECT_EQ(w.stored()["com.apple.mail"], (Json{{"pid", 501}, {"windows", {140}}, {"tabmates", {120, 131}}}));
  EXPECT_EQ(w.memory.windows("com.apple.mail", 501), (Numbers{140}));
  EXPECT_EQ(w.memory.tabmates("com.apple.mail", 501), (Numbers{120, 131}));

  // A second minimize replaces the first record whole.
  w.memory.record("com.apple.mail", 501, {141}, {});
  EXPECT_EQ(w.memory.windows("com.apple.mail", 501), (Numbers{141}));
  EXPECT_TRUE(w.memory.tabmates("com.apple.mail", 501).empty());

  // After a relaunch (another pid) the first read deletes the record and answers nothing.
  EXPECT_TRUE(w.memory.windows("com.apple.mail", 777).empty());
  EXPECT_FALSE(w.stored().contains("com.apple.mail"));
  EXPECT_EQ(w.memory.windows("com.apple.TextEdit", 502), (Numbers{200}));

  // Forgetting the last record removes the key altogether; forgetting nothing writes nothing.
  w.memory.forget("com.apple.TextEdit");
  EXPECT_FALSE(w.defaults.hasUserValue(MinimizeMemory::kKey));
  w.memory.forget("com.apple.TextEdit");
  EXPECT_FALSE(w.defaults.hasUserValue(MinimizeMemory::kKey));
}

TEST(MinimizeMemory, ABadEntryIsDroppedAloneAndTheOthersStay) {
  MemoryWorld w;
  w.defaults.set("debugLogging", true);
  w.defaults.set(MinimizeMemory::kKey,
                 Json{{"com.apple.mail", {{"pid", 501}, {"windows", {140}}, {"tabmates", {}}}},
                      {"com.example.broken", "not a record"},
                      {"com.example.textpid", {{"pid", "502"}, {"windows", {1}}}},
                      {"com.example.textlist", {{"pid", 503}, {"windows", "140"}}}});
  EXPECT_EQ(w.memory.windows("com.apple.mail", 501), (Numbers{140}));
  EXPECT_FALSE(w.stored().contains("com.example.broken"));
  EXPECT_TRUE(w.logged("dropped the record of com.example.broken"));
  // A "pid" of the wrong type reads as a stale record: deleted, with a line.
  EXPECT_TRUE(w.memory.windows("com.example.textpid", 502).empty());
  EXPECT_FALSE(w.stored().contains("com.example.textpid"));
  EXPECT_TRUE(w.logged("dropped the record of com.example.textpid"));
  // A list of the wrong type answers an empty set for that list only.
  EXPECT_TRUE(w.memory.windows("com.example.textlist", 503).empty());
  EXPECT_TRUE(w.stored().contains("com.example.textlist"));
  EXPECT_EQ(w.memory.windows("com.apple.mail", 501), (Numbers{140}));

  // A stored value that is no dictionary at all is replaced by the next record.
  w.defaults.set(MinimizeMemory::kKey, "garbage");
  EXPECT_TRUE(w.memory.tabmates("com.apple.mail", 501).empty());
  EXPECT_TRUE(w.logged("dropped a stored value that is no dictionary"));
  w.memory.record("com.apple.mail", 501, {9}, {});
  EXPECT_EQ(w.memory.windows("com.apple.mail", 501), (Numbers{9}));
}

}  // namespace
}  // namespace velvix
