#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Support/DebugLog.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;

mode_t modeOf(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

TEST(DebugLog, FirstHealthLineCreatesAPrivateFolderAndFile) {
  TestWorld world;
  world.loop.advance(3723.0);  // 2026-01-01T01:02:03Z
  world.log().health("launched");
  world.log().flush();
  auto folder = SupportFolder::path(world.home.path());
  EXPECT_EQ(modeOf(folder), 0700u);
  EXPECT_EQ(modeOf(folder / "health.log"), 0600u);
  std::ifstream in(folder / "health.log");
  std::string content((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(content, "2026-01-01T01:02:03Z launched\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "debug.log"));
}

TEST(DebugLog, DiagnosticLinesFollowTheSettingAtEveryCall) {
  TestWorld world;
  world.log().log("dropped");
  world.log().health("h1");
  world.defaults.set("debugLogging", true);  // no restart needed
  world.log().log("kept");
  world.log().health("h2");
  world.defaults.set("debugLogging", false);
  world.log().log("dropped again");
  EXPECT_EQ(world.healthLines(), (std::vector<std::string>{"h1", "h2"}));
  EXPECT_EQ(world.debugLines(), (std::vector<std::string>{"kept", "h2"}));
}

TEST(DebugLog, LinesFromManyThreadsArriveWhole) {
  TestWorld world;
  DebugLog& log = world.log();  // the world is built here, on the main thread, before the writers start
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) log.health("thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& thread : threads) thread.join();
  auto lines = world.healthLines();
  ASSERT_EQ(lines.size(), 200u);
  for (const auto& line : lines) EXPECT_EQ(line.rfind("thread ", 0), 0u) << line;
}

void writeBytes(const std::filesystem::path& path, std::size_t size) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

TEST(DebugLog, OversizedHealthLogRollsOverAtTheNextSizeCheckReplacingTheOldGeneration) {
  TestWorld world;
  auto folder = SupportFolder::path(world.home.path());
  // A log left oversized by an earlier run rolls over at this run's first line, however short
  // the run is.
  writeBytes(folder / "health.log", 600 * 1024);
  writeBytes(folder / "health.log.1", 10);
  world.log().health("launched");
  world.log().flush();
  EXPECT_GT(std::filesystem::file_size(folder / "health.log.1"), 600u * 1024);
  EXPECT_FALSE(std::filesystem::exists(folder / "health.log"));

  // After that, the size is tested every 200th line.
  writeBytes(folder / "health.log", 600 * 1024);
  for (int i = 0; i < DebugLog::kSizeCheckInterval - 1; ++i) world.log().health("line");
  world.log().flush();
  EXPECT_TRUE(std::filesystem::exists(folder / "health.log"));  // not yet tested
  world.log().health("the 200th");
  world.log().flush();
  EXPECT_FALSE(std::filesystem::exists(folder / "health.log"));
  world.log().health("fresh");
  EXPECT_EQ(world.healthLines(), (std::vector<std::string>{"fresh"}));
}

TEST(DebugLog, LogOfExactlyTheLimitIsKept) {
  TestWorld world;
  auto folder = SupportFolder::path(world.home.path());
  const std::string message = "ok";
  const std::size_t lineBytes = DebugLog::timestamp(world.loop.now()).size() + 1 + message.size() + 1;
  writeBytes(folder / "health.log", DebugLog::kHealthMaxBytes - DebugLog::kSizeCheckInterval * lineBytes);
  for (int i = 0; i < DebugLog::kSizeCheckInterval; ++i) world.log().health(message);
  world.log().flush();
  EXPECT_EQ(std::filesystem::file_size(folder / "health.log"), DebugLog::kHealthMaxBytes);
  EXPECT_FALSE(std::filesystem::exists(folder / "health.log.1"));
}

TEST(DebugLog, TimestampIsUtcIso8601) {
  EXPECT_EQ(DebugLog::timestamp(1769879045.75), "2026-01-31T17:04:05Z");
}

}  // namespace
}  // namespace velvix
