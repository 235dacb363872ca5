#include <atomic>
#include <fstream>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/JsonFileDefaults.hpp"
#include "Platform/Linux/UserTextFile.hpp"
#include "Platform/MemoryDefaults.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/UserFiles.hpp"

namespace velvix {
namespace {

using Json = nlohmann::json;

TEST(UserDefaults, TypedReadsFallBackForValuesOfTheWrongType) {
  platform::MemoryDefaults d(Json{{"n", 42},
                                  {"f", 7.9},
                                  {"t", "12"},
                                  {"junk", "twelve"},
                                  {"b", true},
                                  {"list", {"a", "b"}},
                                  {"mixed", {"a", 1}},
                                  {"obj", {{"x", 1}}}});
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

TEST(UserDefaults, NumbersPastTheIntegerRangeReadAsTheNearestLimit) {
  platform::MemoryDefaults d(Json{{"twoTo63", 9223372036854775808.0},
                                  {"big", 1e19},
                                  {"huge", 1e300},
                                  {"low", -1e19},
                                  {"least", -9223372036854775808.0},
                                  {"near", 9.2e18}});
  EXPECT_EQ(d.integer("twoTo63"), INT64_MAX);
  EXPECT_EQ(d.integer("big"), INT64_MAX);
  EXPECT_EQ(d.integer("huge"), INT64_MAX);
  EXPECT_EQ(d.integer("low"), INT64_MIN);
  EXPECT_EQ(d.integer("least"), INT64_MIN);
  EXPECT_EQ(d.integer("near"), 9200000000000000000);
}

TEST(UserDefaults, RegisteredValuesAnswerReadsButAreNotUserValues) {
  platform::MemoryDefaults d;
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
    ASSERT_TRUE(d.flush());
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
  EXPECT_EQ(d.integer("universalTabLimit"), 3);  // read before the cut
  ASSERT_EQ(problems.size(), 1u);
  auto aside = home.path() / "app.json.damaged";
  ASSERT_TRUE(std::filesystem::exists(aside));
  EXPECT_EQ(*files::readAll(aside), "{\"universalTabLimit\": 3,");
  d.set("x", 1);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(*files::readAll(aside), "{\"universalTabLimit\": 3,");

  // A second damaged file is kept beside the first, which stays as it was.
  { std::ofstream(file) << "[\"second\"]"; }
  platform::JsonFileDefaults again(file, [&](const std::string& line) { problems.push_back(line); });
  EXPECT_EQ(*files::readAll(aside), "{\"universalTabLimit\": 3,");
  EXPECT_EQ(files::readAll(home.path() / "app.json.damaged-2"), "[\"second\"]");
  EXPECT_NE(problems.back().find("app.json.damaged-2"), std::string::npos);
}

TEST(JsonFileDefaults, AValueThatCannotBeReadCostsOnlyItsOwnSetting) {
  test::TempFolder home;
  auto file = home.path() / "app.json";
  const std::string stored =
      "{\n  \"excludedBundleIDs\": [\"com.example.mine\", \"org.example.{x,y}\"],\n"
      "  \"label\": \"Jos\xE9\",\n  \"universalTabLimit\": 1e400,\n  \"hotkeyMode\": \"optionTab\"\n}\n";
  test::writeFile(file, stored);
  std::vector<std::string> problems;
  platform::JsonFileDefaults d(file, [&](const std::string& line) { problems.push_back(line); });
  EXPECT_EQ(d.object("excludedBundleIDs"), (Json{"com.example.mine", "org.example.{x,y}"}));
  EXPECT_EQ(d.string("hotkeyMode"), "optionTab");
  EXPECT_FALSE(d.hasUserValue("label"));
  EXPECT_FALSE(d.hasUserValue("universalTabLimit"));
  EXPECT_EQ(files::readAll(home.path() / "app.json.damaged"), stored);  // kept aside as it was
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_NE(problems[0].find("kept the 2 settings that could be read"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("\"label\" could not be read"), std::string::npos) << problems[1];
  EXPECT_NE(problems[2].find("\"universalTabLimit\" could not be read"), std::string::npos) << problems[2];
}

TEST(JsonFileDefaults, ALinkedSettingsFileIsWrittenWhereItPoints) {
  test::TempFolder home;
  const auto target = home.path() / "dotfiles" / "app.json";
  std::filesystem::create_directories(target.parent_path());
  { std::ofstream(target) << "{\"universalTabLimit\": 3}"; }
  const auto file = home.path() / "Preferences" / "app.json";
  std::filesystem::create_directories(file.parent_path());
  std::filesystem::create_symlink("../dotfiles/app.json", file);
  {
    platform::JsonFileDefaults d(file);
    EXPECT_EQ(d.integer("universalTabLimit"), 3);
    d.set("universalTabLimit", 7);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  EXPECT_EQ(Json::parse(*files::readAll(target)), (Json{{"universalTabLimit", 7}}));
}

// The disk step is held (a write that fails and whose report does not return): other threads
// still read and change settings, and once it is let go the last change is what the file holds.
TEST(JsonFileDefaults, ReadersAndWritersNeverWaitForTheDiskAndTheLastChangeWins) {
  test::TempFolder home;
  const auto folder = home.path() / "Preferences";
  std::ofstream(folder) << "not a folder";  // the first write fails
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> reports{0};
  platform::JsonFileDefaults d(folder / "app.json", [&](const std::string&) {
    if (reports++ == 0) {
      entered.set_value();
      released.wait_for(std::chrono::seconds(30));
    }
  });
  std::thread first([&] { d.set("n", -1); });
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  auto others = std::async(std::launch::async, [&] {
    for (int i = 0; i < 100; ++i) d.set("n", i);
    return d.integer("n");
  });
  const auto status = others.wait_for(std::chrono::seconds(30));
  release.set_value();
  first.join();
  ASSERT_EQ(status, std::future_status::ready);
  EXPECT_EQ(others.get(), 99);

  std::filesystem::remove(folder);
  d.set("last", true);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(Json::parse(*files::readAll(folder / "app.json")), (Json{{"n", 99}, {"last", true}}));
}

TEST(JsonFileDefaults, DocumentsNestedTooDeeplyAreMovedAsideLikeDamagedOnes) {
  test::TempFolder home;
  auto file = home.path() / "app.json";
  const int depth = 200000;  // enough to exhaust the stack of any copy that recursed
  const std::string deep = "{\"k\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
  { std::ofstream(file) << deep; }
  std::vector<std::string> problems;
  platform::JsonFileDefaults d(file, [&](const std::string& line) { problems.push_back(line); });
  EXPECT_FALSE(d.object("k"));
  ASSERT_EQ(problems.size(), 2u);  // the file kept aside, and the one setting too deep to read
  EXPECT_EQ(files::readAll(home.path() / "app.json.damaged"), deep);

  // Settings as deep as anyone writes load as they are.
  const int fine = platform::JsonFileDefaults::kMaxNestingDepth - 1;
  { std::ofstream(file) << "{\"k\":" + std::string(fine, '[') + std::string(fine, ']') + "}"; }
  platform::JsonFileDefaults again(file);
  EXPECT_TRUE(again.object("k"));
}

// A settings file the process cannot read (left owned by someone else): it runs on defaults and
// never replaces the file. Checked in a child without the privileges to read it.
TEST(JsonFileDefaults, AFileThatExistsButCannotBeReadIsNeverOverwritten) {
  test::TempFolder home;
  ::chmod(home.path().c_str(), 0777);
  auto file = home.path() / "app.json";
  const std::string stored = "{\"universalTabLimit\": 3}";
  { std::ofstream(file) << stored; }
  ::chmod(file.c_str(), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && ::setresuid(65534, 65534, 65534) != 0) ::_exit(10);
    std::vector<std::string> problems;
    platform::JsonFileDefaults d(file, [&](const std::string& line) { problems.push_back(line); });
    d.registerDefaults(Json{{"universalTabLimit", 10}});
    if (d.integer("universalTabLimit") != 10) ::_exit(11);
    d.set("universalTabLimit", 20);
    d.set("hotkeyMode", "optionTab");
    if (d.integer("universalTabLimit") != 20) ::_exit(12);
    if (problems.size() != 2 || problems[0].find("cannot be read") == std::string::npos) ::_exit(13);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(files::readAll(file), stored);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(home.path())) ++entries;
  EXPECT_EQ(entries, 1);
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
  ASSERT_TRUE(d.flush());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("Settings not saved"), std::string::npos);
}

TEST(JsonFileDefaults, AReadOnlySettingsFileIsNeverReplacedAndChangesStayForTheRun) {
  test::TempFolder home;
  const auto file = home.path() / "app.json";
  const std::string stored = "{\"a\": 1}";
  test::writeFile(file, stored);
  ::chmod(file.c_str(), 0444);
  const ino_t inode = test::inodeOf(file);
  std::vector<std::string> problems;
  platform::JsonFileDefaults d(file, [&](const std::string& line) { problems.push_back(line); });
  d.set("b", 2);
  ASSERT_TRUE(d.flush());
  d.set("c", 3);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(test::readFile(file), stored);
  EXPECT_EQ(test::inodeOf(file), inode);
  EXPECT_EQ(test::modeOf(file) & 0777, 0444u);
  EXPECT_EQ(d.integer("c"), 3);
  ASSERT_EQ(problems.size(), 1u);  // said once, not at every change
  EXPECT_NE(problems[0].find("is read-only"), std::string::npos) << problems[0];
  EXPECT_NE(problems[0].find("kept for this run"), std::string::npos) << problems[0];

  // Made writable again: what was kept meanwhile is saved with the next change.
  ::chmod(file.c_str(), 0644);
  d.set("d", 4);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(Json::parse(*files::readAll(file)), (Json{{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}}));
  EXPECT_EQ(test::modeOf(file) & 0777, 0644u);
}

// Another program (an editor, a second copy of the program) rewrites the settings file between
// our read and our rename, the way a shell's `>` does.
TEST(JsonFileDefaults, WhatAnotherProgramWritesMeanwhileIsKeptAndOnlyOurChangesGoOntoIt) {
  test::TempFolder home;
  const auto file = home.path() / "app.json";
  test::writeFile(file, "{\"a\": 1, \"gone\": true}");
  std::vector<std::string> problems;
  std::string theirs;  // what the other program writes after each read, while `interruptions` last
  int interruptions = 0;
  int reads = 0;
  platform::JsonFileDefaults d(
      file, [&](const std::string& line) { problems.push_back(line); },
      [&](const std::filesystem::path& target) {
        ++reads;
        if (interruptions == 0) return;
        --interruptions;
        // A new file put in its place, as an editor saves.
        test::ChildProcess shell("/bin/sh", {"-c", "printf '%s' \"$2\" > \"$1.new\" && mv \"$1.new\" \"$1\"",
                                             "sh", target.string(), theirs});
        EXPECT_EQ(shell.waitForExit(), 0);
      });
  auto stored = [&] { return Json::parse(*files::readAll(file), nullptr, false); };

  theirs = "{\"a\": 1, \"gone\": true, \"theirs\": 1}";
  interruptions = 1;
  d.set("ours", 2);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(reads, 2);  // started again from the new text
  EXPECT_EQ(stored(), (Json{{"a", 1}, {"gone", true}, {"theirs", 1}, {"ours", 2}}));
  // Later saves keep it too, and take away only what was removed here.
  d.remove("gone");
  d.set("a", 5);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(stored(), (Json{{"a", 5}, {"theirs", 1}, {"ours", 2}}));
  EXPECT_TRUE(problems.empty());

  // A writer that never stops: left alone after a few tries with what it wrote; ours goes later.
  theirs = "{\"a\": 5, \"ours\": 2, \"theirs\": 3}";
  interruptions = 100;
  reads = 0;
  d.set("more", 3);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(reads, UserTextFile::kAttempts);
  EXPECT_EQ(test::readFile(file), theirs);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("kept changing"), std::string::npos) << problems[0];
  interruptions = 0;
  d.set("last", 4);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(stored(), (Json{{"a", 5}, {"ours", 2}, {"theirs", 3}, {"more", 3}, {"last", 4}}));

  // What it leaves is no settings document: kept byte for byte, and said.
  theirs = "# notes, not settings\n";
  interruptions = 1;
  d.set("after", 5);
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(test::readFile(file), theirs);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[1].find("no longer holds a JSON object"), std::string::npos) << problems[1];
}

}  // namespace
}  // namespace velvix
