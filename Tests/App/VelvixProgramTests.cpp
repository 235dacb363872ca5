#include <csignal>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The real program, started the way a user starts it, with a home folder of its own: it launches
// over the sample desktop, takes Command-Tab from the system, and gives it back when terminated.
TEST(VelvixProgram, LaunchesTakesTheChordAndGivesItBackWhenTerminated) {
  test::TempFolder home;
  const std::string binary = std::string(VELVIX_BINARY_DIR) + "/velvix";
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("VELVIX_HOME", home.path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto health = SupportFolder::path(home.path()) / "health.log";
  const auto hotKeys = (home.path() / ".velvix-simulated-desktop" / "symbolic-hotkeys").string();
  const bool running = test::eventually([&] { return readFile(health).find(" state: ") != std::string::npos; });
  const auto whileRunning = sim::SimSymbolicHotKeys::readStateFile(hotKeys);
  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(running) << readFile(health);
  EXPECT_NE(readFile(health).find("Z launched\n"), std::string::npos);
  EXPECT_FALSE(whileRunning.at(1));  // Velvix owned the chord
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(sim::SimSymbolicHotKeys::readStateFile(hotKeys).at(1));
  EXPECT_TRUE(sim::SimSymbolicHotKeys::readStateFile(hotKeys).at(2));
}

}  // namespace
}  // namespace velvix
