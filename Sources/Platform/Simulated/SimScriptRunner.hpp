#pragma once
// The script interpreter of the simulated desktop: it takes the literal scripts this program
// sends, recognises the library and trailer (SimScriptReader), and answers from the desktop's
// browsers, windows, tabs and Terminal after the desktop's script latency, printing the result
// as the real interpreter does. Switching and closing change the world. A script it does not
// recognise fails as a syntax error. Faults are injected per call; the desktop's failingScripts
// and hangingScripts hold for every call to those applications.

#include <deque>
#include <optional>
#include <string>

#include "Platform/ScriptRunner.hpp"
#include "Platform/Simulated/SimScriptReader.hpp"
#include "Platform/Simulated/SimTabScripts.hpp"

namespace velvix::sim {

class SimDesktop;

enum class ScriptFault {
  timeOut,            // never answers: killed at the time limit
  permissionRefused,  // Automation refused
  notRunning,         // the application is not running
  garbled,            // the answer is not UTF-8
  truncated,          // the answer stops half way
  empty,              // the answer is empty
  enormous,           // the answer is larger than the runner keeps
};

class SimScriptRunner final : public platform::ScriptRunner {
 public:
  explicit SimScriptRunner(SimDesktop& desktop) : desktop_(desktop), tabs_(desktop) {}
  void run(const std::string& script, Completion completion) override;

  // The next run of `handler` ("" for any) gets the fault; `times` runs in a row.
  void inject(ScriptFault fault, const std::string& handler = "", int times = 1);
  // What the last script run was recognised as (nothing: it did not compile).
  const std::optional<SimScriptRequest>& lastRequest() const { return lastRequest_; }

 private:
  platform::ScriptOutcome outcome(const std::optional<SimScriptRequest>& request);
  std::optional<ScriptFault> takeFault(const std::optional<SimScriptRequest>& request);

  struct Injected {
    ScriptFault fault;
    std::string handler;
    int times;
  };
  SimDesktop& desktop_;
  SimTabScripts tabs_;
  std::deque<Injected> faults_;
  std::optional<SimScriptRequest> lastRequest_;
};

}  // namespace velvix::sim
