// The real script runner against a stand-in interpreter started as a real child process: what
// comes back, the deadlines, and that every run completes once with nothing left behind.

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <optional>

#include "Platform/Linux/ProcessScriptRunner.hpp"
#include "TestSupport/Eventually.hpp"

namespace velvix::platform {
namespace {

using test::eventually;

const std::string kInterpreter = std::string(VELVIX_BINARY_DIR) + "/velvix_test_script_interpreter";

std::size_t openDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// One run: its outcome and how many times it completed.
struct Result {
  std::mutex mutex;
  std::optional<ScriptOutcome> outcome;
  std::atomic<int> completions{0};
  ScriptRunner::Completion completion() {
    return [this](ScriptOutcome o) {
      std::lock_guard lock(mutex);
      outcome = std::move(o);
      ++completions;
    };
  }
  bool done() { return completions.load() > 0; }
};

// Deadlines short enough to keep the suite quick, long enough that a heavily loaded machine has
// started the interpreter and read its script before they pass.
ProcessScriptRunner::Options fast(std::string interpreter = kInterpreter) {
  ProcessScriptRunner::Options options;
  options.interpreter = std::move(interpreter);
  options.timeLimit = 2.0;
  options.killGrace = 0.5;
  options.maxOutput = 64 * 1024;
  return options;
}

TEST(ProcessScriptRunner, TheScriptArrivesAsOneArgumentAndItsOutputAndErrorsComeBack) {
  ProcessScriptRunner runner(fast());
  const std::string script = "echo-script\nout Say \"hi\" \\ $(whoami) `id` \u00e9\n";
  Result echoed, failing;
  runner.run(script, echoed.completion());
  runner.run("out half\nerr it broke\nexit 3\n", failing.completion());
  ASSERT_TRUE(eventually([&] { return echoed.done() && failing.done(); }));
  EXPECT_EQ(echoed.outcome->ending, ScriptOutcome::Ending::exited);
  EXPECT_EQ(echoed.outcome->status, 0);
  EXPECT_EQ(echoed.outcome->output, script + "Say \"hi\" \\ $(whoami) `id` \u00e9\n");  // no shell in between
  EXPECT_EQ(failing.outcome->status, 3);
  EXPECT_EQ(failing.outcome->output, "half\n");
  EXPECT_EQ(failing.outcome->errorOutput, "it broke\n");
}

TEST(ProcessScriptRunner, AnInterpreterThatCannotStartCompletesAsNotLaunched) {
  ProcessScriptRunner runner(fast("/nonexistent/osascript"));
  Result r;
  runner.run("out x", r.completion());
  ASSERT_TRUE(eventually([&] { return r.done(); }));
  EXPECT_EQ(r.outcome->ending, ScriptOutcome::Ending::notLaunched);
}

TEST(ProcessScriptRunner, DeadlinesEndHangingIgnoringAndEscapingChildren) {
  ProcessScriptRunner runner(fast());
  Result hanging, ignoring, escaping;
  runner.run("out started\nwait 30\n", hanging.completion());
  runner.run("ignore-term\nwait 30\n", ignoring.completion());
  // The interpreter is gone at once, but a child of its own session keeps the output open.
  runner.run("grandchild 5\nout answer\n", escaping.completion());
  ASSERT_TRUE(eventually([&] { return hanging.done() && ignoring.done() && escaping.done(); },
                         std::chrono::seconds(10)));
  EXPECT_EQ(hanging.outcome->ending, ScriptOutcome::Ending::signaled);
  EXPECT_EQ(hanging.outcome->status, SIGTERM);
  EXPECT_EQ(ignoring.outcome->ending, ScriptOutcome::Ending::signaled);
  EXPECT_EQ(ignoring.outcome->status, SIGKILL);
  EXPECT_EQ(escaping.outcome->status, 0);
  EXPECT_TRUE(escaping.outcome->outputCut);  // completed at the deadline, with its output still open
  EXPECT_TRUE(eventually([&] { return runner.childrenAlive() == 0; }));
  EXPECT_EQ(hanging.completions + ignoring.completions + escaping.completions, 3);
}

TEST(ProcessScriptRunner, FloodedOutputIsBoundedAndTheChildNeverBlocks) {
  ProcessScriptRunner runner(fast());
  Result bounded, endless;
  runner.run("flood 300000\nexit 0\n", bounded.completion());
  runner.run("flood forever\n", endless.completion());
  ASSERT_TRUE(eventually([&] { return bounded.done() && endless.done(); }, std::chrono::seconds(10)));
  EXPECT_EQ(bounded.outcome->status, 0);
  EXPECT_EQ(bounded.outcome->ending, ScriptOutcome::Ending::exited);
  EXPECT_TRUE(bounded.outcome->outputCut);
  EXPECT_EQ(bounded.outcome->output.size(), 64u * 1024);
  EXPECT_EQ(endless.outcome->ending, ScriptOutcome::Ending::signaled);
  EXPECT_LE(endless.outcome->output.size(), 64u * 1024);
}

// Many runs at once, completing and dying in every way: each completes exactly once, and no
// descriptor or child is left behind. The thread sanitizer run exercises the hand-overs.
TEST(ProcessScriptRunner, ManyConcurrentRunsLeaveNoDescriptorOrZombieBehind) {
  const std::size_t descriptorsBefore = openDescriptors();
  std::vector<std::unique_ptr<Result>> results;
  {
    ProcessScriptRunner runner(fast());
    const char* scripts[] = {"out a\n", "exit 2\n", "wait 30\n", "flood 100000\n", "err e\nexit 1\n"};
    for (int i = 0; i < 25; ++i) {
      results.push_back(std::make_unique<Result>());
      runner.run(scripts[i % 5], results.back()->completion());
    }
    ASSERT_TRUE(eventually(
        [&] {
          for (auto& r : results)
            if (!r->done()) return false;
          return runner.childrenAlive() == 0;
        },
        std::chrono::seconds(10)));
    // A run still going when the runner goes is ended and completed too.
    results.push_back(std::make_unique<Result>());
    runner.run("wait 30\n", results.back()->completion());
    ASSERT_TRUE(eventually([&] { return runner.childrenAlive() == 1; }));
  }
  for (auto& r : results) EXPECT_EQ(r->completions.load(), 1);
  EXPECT_EQ(results.back()->outcome->ending, ScriptOutcome::Ending::signaled);
  EXPECT_EQ(openDescriptors(), descriptorsBefore);
}

}  // namespace
}  // namespace velvix::platform
