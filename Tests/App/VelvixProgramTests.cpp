#include <csignal>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Platform/Linux/InstanceLock.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The real program, started the way a user starts it, with a home folder of its own.
class VelvixProgram : public ::testing::Test {
 protected:
  std::unique_ptr<test::ChildProcess> start() {
    return std::make_unique<test::ChildProcess>(
        std::string(VELVIX_BINARY_DIR) + "/velvix", std::vector<std::string>{},
        std::map<std::string, std::string>{{"VELVIX_HOME", home.path().string()},
                                           {"QT_QPA_PLATFORM", "offscreen"}});
  }
  std::string healthLog() const { return readFile(SupportFolder::path(home.path()) / "health.log"); }
  // Launched, with the event tap up (its first state line written), `runs` times over.
  bool running(std::size_t runs = 1) {
    return test::eventually([&] { return count(healthLog(), " state: ") >= runs; });
  }
  std::map<int, bool> hotKeys() const {
    return sim::SimSymbolicHotKeys::readStateFile(
        (home.path() / ".velvix-simulated-desktop" / "symbolic-hotkeys").string());
  }

  test::TempFolder home;
};

// Ctrl-C and SIGTERM quit through the application's terminate path: Command-Tab given back, the
// "quit" line written, exit status 0, and the next launch finds a clean end of the run before.
TEST_F(VelvixProgram, InterruptingOrTerminatingItQuitsCleanly) {
  for (int signal : {SIGTERM, SIGINT}) {
    auto velvix = start();
    ASSERT_TRUE(running(signal == SIGTERM ? 1 : 2)) << healthLog();
    const auto whileRunning = hotKeys();
    ::kill(velvix->pid(), signal);
    EXPECT_EQ(velvix->waitForExit(), 0) << signal;
    EXPECT_FALSE(whileRunning.at(1));  // Velvix owned the chord
    EXPECT_TRUE(hotKeys().at(1) && hotKeys().at(2));
    EXPECT_TRUE(healthLog().ends_with("Z quit\n")) << healthLog();
  }
  EXPECT_EQ(count(healthLog(), "Z launched\n"), 2u);
  EXPECT_EQ(healthLog().find("ended without quitting"), std::string::npos) << healthLog();
}

// A second copy on the same home folder asks the first to quit (it quits cleanly) and takes its
// place; a lock file left by a copy that is gone does not stand in the way.
TEST_F(VelvixProgram, ASecondCopyReplacesTheFirst) {
  const auto lockFile = SupportFolder::path(home.path()) / platform::InstanceLock::kFileName;
  std::filesystem::create_directories(lockFile.parent_path());
  std::ofstream(lockFile) << ::getpid() << "\n";  // stale: nobody holds it
  auto first = start();
  ASSERT_TRUE(running()) << healthLog();
  EXPECT_EQ(readFile(lockFile), std::to_string(first->pid()) + "\n");

  auto second = start();
  EXPECT_EQ(first->waitForExit(), 0);
  ASSERT_TRUE(running(2)) << healthLog();
  EXPECT_TRUE(second->isRunning());
  EXPECT_EQ(readFile(lockFile), std::to_string(second->pid()) + "\n");
  EXPECT_NE(healthLog().find("another copy is running (pid " + std::to_string(first->pid()) + ")"),
            std::string::npos);
  EXPECT_FALSE(hotKeys().at(1));  // the second copy owns the chord now

  ::kill(second->pid(), SIGTERM);
  EXPECT_EQ(second->waitForExit(), 0);
  EXPECT_TRUE(hotKeys().at(1));
}

// An older copy that holds the lock and ignores SIGTERM keeps the launch waiting; a SIGTERM in
// that wait is final: the launch goes no further (Command-Tab never taken, no state line), the
// process exits 0 and "quit" is the last line of its run.
TEST_F(VelvixProgram, AQuitWhileWaitingForAnOlderCopyIsFinal) {
  const auto lockFile = SupportFolder::path(home.path()) / platform::InstanceLock::kFileName;
  std::filesystem::create_directories(lockFile.parent_path());
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t stubborn = ::fork();
  if (stubborn == 0) {
    ::signal(SIGTERM, SIG_IGN);
    platform::InstanceLock lock(lockFile);
    const char byte = lock.tryAcquire() ? 'y' : 'n';
    [[maybe_unused]] auto written = ::write(ready[1], &byte, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char held = 0;
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(held, 'y');

  auto velvix = start();
  const bool waiting =
      test::eventually([&] { return healthLog().find("another copy is running") != std::string::npos; });
  ::kill(velvix->pid(), SIGTERM);
  const auto status = velvix->waitForExit();
  ::kill(stubborn, SIGKILL);
  ::waitpid(stubborn, nullptr, 0);
  ASSERT_TRUE(waiting) << healthLog();
  EXPECT_EQ(status, 0);
  const auto keys = hotKeys();  // a key never switched is on
  EXPECT_TRUE((!keys.contains(1) || keys.at(1)) && (!keys.contains(2) || keys.at(2)));
  EXPECT_TRUE(healthLog().ends_with("Z quit\n")) << healthLog();
  EXPECT_EQ(healthLog().find(" state: "), std::string::npos) << healthLog();
}

}  // namespace
}  // namespace velvix
