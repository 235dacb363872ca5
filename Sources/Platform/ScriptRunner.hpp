#pragma once
// Runs one Apple Events script as text through the system's script interpreter and hands back
// how the run ended: its exit status (or the signal that ended it), standard output and standard
// error. Every run is bounded by a hard time limit; reading the result is the caller's business.
// Completions arrive on any thread, exactly once per run.

#include <cstddef>
#include <functional>
#include <string>

namespace velvix::platform {

struct ScriptOutcome {
  enum class Ending { exited, signaled, notLaunched };
  Ending ending = Ending::exited;
  int status = 0;           // the exit status, or the number of the signal that ended the run
  std::string output;       // standard output, at most kMaxOutputBytes
  std::string errorOutput;  // standard error, at most kMaxErrorBytes
  // The output is not all there: it went over the limit, or the run was ended at its deadline
  // while its output was still open.
  bool outputCut = false;
};

class ScriptRunner {
 public:
  static constexpr double kTimeLimit = 4.0;
  static constexpr std::size_t kMaxOutputBytes = 4 * 1024 * 1024;
  static constexpr std::size_t kMaxErrorBytes = 64 * 1024;
  using Completion = std::function<void(ScriptOutcome outcome)>;
  virtual ~ScriptRunner() = default;
  virtual void run(const std::string& script, Completion completion) = 0;
};

}  // namespace velvix::platform
