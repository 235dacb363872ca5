#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/JsonFileDefaults.hpp"
#include "Platform/Simulated/MemoryDefaults.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix {
namespace {

using Json = nlohmann::json;

TEST(UserDefaults, TypedReadsFallBackForValuesOfTheWrongType) {
  sim::MemoryDefaults d(Json{{"n", 42}, {"f", 7.9}, {"t", "12"}, {"junk", "twelve"}, {"b", true},
                             {"list", {"a", "b"}}, {"mixed", {"a", 1}}, {"obj", {{"x", 1}}}});
  EXPECT_EQ(d.integer("n"), 42);
  EXPECT_EQ(d.integer("f"), 7);
  EXPECT_EQ(d.integer("t"), 12);
  EXPECT_EQ(d.integer("junk"), 0);
  EXPECT_EQ(d.integer("b"), 1);
  EXPECT_EQ(d.integer("obj"), 0);
  EXPECT_EQ(d.integer("missing"), 0);

  EXPECT_TRUE(d.boolean("b"));
  EXPECT_TRUE(d.boolean("n"));
  EXPECT_FALSE(d.boolean("junk"));
  EXPECT_FALSE(d.boolean("list"));

  EXPECT_EQ(d.string("t"), "12");
  EXPECT_EQ(d.string("n"), "42");
  EXPECT_EQ(d.string("list"), std::nullopt);

  EXPECT_EQ(d.stringArray("list"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(d.stringArray("mixed"), std::nullopt);
  EXPECT_EQ(d.stringArray("t"), std::nullopt);
}

TEST(UserDefaults, RegisteredValuesAnswerReadsButAreNotUserValues) {
  sim::MemoryDefaults d;
  d.registerDefaults(Json{{"k", 5}});
  EXPECT_EQ(d.integer("k"), 5);
  EXPECT_FALSE(d.hasUserValue("k"));
  d.set("k", 9);
  EXPECT_EQ(d.integer("k"), 9);
  EXPECT_TRUE(d.hasUserValue("k"));
  d.remove("k");
  EXPECT_EQ(d.integer("k"), 5);
}

TEST(JsonFileDefaults, PersistsUserValuesOnlyWithPrivateMode) {
  test::TempFolder home;
  auto file = home.path() / "Library/Preferences/app.json";
  {
    platform::JsonFileDefaults d(file);
    d.registerDefaults(Json{{"registered", 1}});
    d.set("universalTabLimit", 20);
    d.set("hotkeyMode", "optionTab");
  }
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  auto stored = Json::parse(*files::readAll(file));
  EXPECT_EQ(stored, (Json{{"universalTabLimit", 20}, {"hotkeyMode", "optionTab"}}));

  platform::JsonFileDefaults again(file);
  EXPECT_EQ(again.integer("universalTabLimit"), 20);
  EXPECT_FALSE(again.object("registered"));
}

TEST(JsonFileDefaults, NeverLeavesTemporaryFilesOrHalfWrittenDocuments) {
  test::TempFolder home;
  auto file = home.path() / "app.json";
  platform::JsonFileDefaults d(file);
  for (int i = 0; i < 50; ++i) {
    d.set("key" + std::to_string(i), std::string(1000, 'x'));
    // Every state on disk is a whole document.
    ASSERT_TRUE(Json::parse(*files::readAll(file), nullptr, false).is_object());
  }
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(home.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(JsonFileDefaults, DamagedFileIsKeptAsideNotOverwritten) {
  test::TempFolder home;
  auto file = home.path() / "app.json";
  { std::ofstream(file) << "{\"universalTabLimit\": 3,"; }  // cut short
  std::vector<std::string> problems;
  platform::JsonFileDefaults d(file, [&](const std::string& line) { problems.push_back(line); });
  EXPECT_EQ(d.integer("universalTabLimit"), 0);
  ASSERT_EQ(problems.size(), 1u);
  auto aside = home.path() / "app.json.damaged";
  ASSERT_TRUE(std::filesystem::exists(aside));
  EXPECT_EQ(*files::readAll(aside), "{\"universalTabLimit\": 3,");
  d.set("x", 1);
  EXPECT_EQ(*files::readAll(aside), "{\"universalTabLimit\": 3,");
}

TEST(JsonFileDefaults, UnwritableFolderReportsAndKeepsValuesInMemory) {
  test::TempFolder home;
  // A plain file where the folder should be: no one, not even root, can create the folder.
  std::ofstream(home.path() / "Preferences") << "not a folder";
  std::vector<std::string> problems;
  platform::JsonFileDefaults d(home.path() / "Preferences" / "app.json",
                               [&](const std::string& line) { problems.push_back(line); });
  d.set("k", 1);
  EXPECT_EQ(d.integer("k"), 1);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("Settings not saved"), std::string::npos);
}

}  // namespace
}  // namespace velvix
