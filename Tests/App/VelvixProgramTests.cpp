#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
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

  // Writes the settings file before the first launch.
  void writeSettings(const std::string& json) const {
    const auto file = home.path() / "Library" / "Preferences" / "com.kolvi.velvix.json";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << json;
  }
  std::string settings() const {
    return readFile(home.path() / "Library" / "Preferences" / "com.kolvi.velvix.json");
  }

  test::TempFolder home;
};

// Ctrl-C, SIGTERM and SIGHUP (the terminal closed) quit through the application's terminate path:
// Command-Tab given back, the "quit" line written, exit status 0, and the next launch finds a
// clean end of the run before. Signals sent while that quit is under way join it.
TEST_F(VelvixProgram, InterruptingOrTerminatingItQuitsCleanly) {
  const std::vector<std::vector<int>> rounds{
      {SIGTERM}, {SIGINT, SIGINT}, {SIGTERM, SIGTERM, SIGINT}, {SIGHUP}};
  for (std::size_t run = 0; run < rounds.size(); ++run) {
    auto velvix = start();
    ASSERT_TRUE(running(run + 1)) << healthLog();
    const auto whileRunning = hotKeys();
    for (int signal : rounds[run]) ::kill(velvix->pid(), signal);
    EXPECT_EQ(velvix->waitForExit(), 0) << rounds[run][0];
    EXPECT_FALSE(whileRunning.at(1));  // Velvix owned the chord
    EXPECT_TRUE(hotKeys().at(1) && hotKeys().at(2));
    EXPECT_TRUE(healthLog().ends_with("Z quit\n")) << healthLog();
  }
  EXPECT_EQ(count(healthLog(), "Z launched\n"), rounds.size());
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

// Copies started together, or each while the one before launches: only the first lock holder is
// asked to quit, the copies that lose the lock to another one quit themselves, and exactly one
// remains, holding the lock and alone owning the chord. Every copy that goes quits cleanly.
TEST_F(VelvixProgram, OfCopiesStartedTogetherExactlyOneRemains) {
  const auto lockFile = SupportFolder::path(home.path()) / platform::InstanceLock::kFileName;
  for (bool together : {true, false}) {
    std::vector<std::unique_ptr<test::ChildProcess>> copies;
    const std::size_t launchedBefore = count(healthLog(), "Z launched\n");
    for (std::size_t i = 0; i < 4; ++i) {
      if (!together) {  // each one while the one before launches
        ASSERT_TRUE(
            test::eventually([&] { return count(healthLog(), "Z launched\n") >= launchedBefore + i; }));
      }
      copies.push_back(start());
    }
    test::ChildProcess* survivor = nullptr;
    const bool one = test::eventually(
        [&] {
          std::vector<test::ChildProcess*> alive;
          for (auto& copy : copies)
            if (!copy->waitForExit(std::chrono::milliseconds(0))) alive.push_back(copy.get());
          survivor = alive.size() == 1 ? alive.front() : nullptr;
          return survivor && readFile(lockFile) == std::to_string(survivor->pid()) + "\n" && !hotKeys().at(1);
        },
        std::chrono::seconds(60));
    ASSERT_TRUE(one) << together << "\n" << healthLog();
    for (auto& copy : copies) {
      if (copy.get() != survivor) {
        EXPECT_EQ(copy->waitForExit(), 0);
      }
    }
    ::kill(survivor->pid(), SIGTERM);
    EXPECT_EQ(survivor->waitForExit(), 0);
    EXPECT_TRUE(hotKeys().at(1) && hotKeys().at(2));
  }
  EXPECT_EQ(healthLog().find("running beside it"), std::string::npos) << healthLog();
}

// A copy started beside an older one that does not answer (stopped here) leaves the system's chord
// as the older copy set it while it waits, then runs beside it. Each run keeps its own clean-exit
// marker: no crash is reported about the copy that is alive, the newer copy's clean exit erases
// only its own, and the older copy's real end without quitting is reported at the next launch.
TEST_F(VelvixProgram, ACopyBesideAHungOneReportsOnlyTheCrashThatHappened) {
  auto older = start();
  ASSERT_TRUE(running()) << healthLog();
  ::kill(older->pid(), SIGSTOP);
  auto newer = start();
  ASSERT_TRUE(test::eventually([&] { return count(healthLog(), "another copy is running") == 1; }));
  EXPECT_FALSE(hotKeys().at(1));
  ASSERT_TRUE(test::eventually([&] { return count(healthLog(), "running beside it") == 1; }) && running(2))
      << healthLog();
  ::kill(newer->pid(), SIGTERM);
  EXPECT_EQ(newer->waitForExit(), 0);
  EXPECT_EQ(count(healthLog(), "ended without quitting"), 0u) << healthLog();

  ::kill(older->pid(), SIGKILL);
  older->waitForExit();
  auto third = start();
  ASSERT_TRUE(running(3)) << healthLog();
  ::kill(third->pid(), SIGTERM);
  EXPECT_EQ(third->waitForExit(), 0);
  EXPECT_EQ(count(healthLog(), "ended without quitting"), 1u) << healthLog();
}

// Logs that would block (FIFOs nobody reads, as on a home folder whose network went away) are
// refused: the program runs without them, and its quit ends cleanly and in time.
TEST_F(VelvixProgram, ALogThatWouldBlockNeverHoldsTheQuit) {
  writeSettings(R"({"debugLogging": true})");
  const auto folder = SupportFolder::path(home.path());
  std::filesystem::create_directories(folder);
  for (const char* name : {"health.log", "debug.log"}) ASSERT_EQ(::mkfifo((folder / name).c_str(), 0600), 0);
  auto velvix = start();
  ASSERT_TRUE(test::eventually([&] { return !hotKeys().at(1); }));
  ::kill(velvix->pid(), SIGTERM);
  EXPECT_EQ(velvix->waitForExit(), 0);
  EXPECT_TRUE(hotKeys().at(1) && hotKeys().at(2));
}

// The session ends (SIGTERM) while the user's own quit asks about the microphone mute: the signal
// answers the question as a quit by the system does, lifting the mute, and the process ends
// cleanly instead of waiting for a person.
TEST_F(VelvixProgram, ASignalDuringTheMuteQuestionUnmutesAndQuits) {
  // An X server of the test's own (it picks a free display), driven by xdotool.
  test::ChildProcess xvfb("/usr/bin/Xvfb",
                          {"-displayfd", "1", "-screen", "0", "1600x1000x24", "-nolisten", "tcp"});
  std::string display = ":";
  for (std::string digit; (digit = xvfb.read(1)).size() == 1 && digit != "\n";) display += digit;
  ASSERT_GT(display.size(), 1u);
  auto xdotool = [&](const std::vector<std::string>& arguments) {
    return test::ChildProcess("/usr/bin/xdotool", arguments, {{"DISPLAY", display}}).waitForExit() == 0;
  };
  writeSettings(R"({"debugLogging": true})");
  test::ChildProcess velvix(
      std::string(VELVIX_BINARY_DIR) + "/velvix", {},
      {{"VELVIX_HOME", home.path().string()}, {"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"}});
  ASSERT_TRUE(running()) << healthLog();
  const auto debugLog = [&] { return readFile(SupportFolder::path(home.path()) / "debug.log"); };
  ASSERT_TRUE(xdotool({"mousemove", "700", "500"}));
  ASSERT_TRUE(xdotool({"key", "F5"}));  // the microphone key: Velvix mutes
  ASSERT_TRUE(test::eventually([&] {
    return settings().find(R"("micMuteHeldByVelvix": true)") != std::string::npos;
  })) << settings();
  ASSERT_TRUE(test::eventually([&] {
    return debugLog().find("quit: asking whether to unmute") != std::string::npos ||
           (xdotool({"key", "ctrl+q"}) && false);
  })) << debugLog();
  ::kill(velvix.pid(), SIGTERM);
  EXPECT_EQ(velvix.waitForExit(), 0);
  EXPECT_TRUE(healthLog().ends_with("Z quit\n")) << healthLog();
  EXPECT_NE(settings().find(R"("micMuteHeldByVelvix": false)"), std::string::npos) << settings();
}

}  // namespace
}  // namespace velvix
