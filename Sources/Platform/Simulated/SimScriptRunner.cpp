#include "Platform/Simulated/SimScriptRunner.hpp"

#include <csignal>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {
namespace {

using platform::ScriptOutcome;

ScriptOutcome failed(int number, const std::string& message) {
  ScriptOutcome o;
  o.status = 1;
  o.errorOutput = "execution error: " + message + " (" + std::to_string(number) + ")\n";
  return o;
}

ScriptOutcome printed(std::string text) {
  ScriptOutcome o;
  o.output = std::move(text) + "\n";  // the interpreter ends what it prints with a line feed
  return o;
}

}  // namespace

void SimScriptRunner::inject(ScriptFault fault, const std::string& handler, int times) {
  faults_.push_back({fault, handler, times});
}

std::optional<ScriptFault> SimScriptRunner::takeFault(const std::optional<SimScriptRequest>& request) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (!it->handler.empty() && (!request || request->handler != it->handler)) continue;
    const ScriptFault fault = it->fault;
    if (--it->times <= 0) faults_.erase(it);
    return fault;
  }
  return std::nullopt;
}

void SimScriptRunner::run(const std::string& script, Completion completion) {
  ++desktop_.scriptRuns;
  lastRequest_ = SimScriptReader::read(script);
  auto fault = takeFault(lastRequest_);
  const std::string bundleID = lastRequest_ ? tabs_.bundleFor(lastRequest_->applicationName) : std::string();
  if (fault == ScriptFault::timeOut || (!bundleID.empty() && desktop_.hangingScripts.contains(bundleID))) {
    desktop_.loop().postAfter(kTimeLimit, [completion = std::move(completion)] {
      ScriptOutcome killed;
      killed.ending = ScriptOutcome::Ending::signaled;
      killed.status = SIGTERM;
      completion(std::move(killed));
    });
    return;
  }
  // The script sees the world as it is when it runs, at the end of its latency.
  desktop_.loop().postAfter(desktop_.scriptLatency, [this, request = lastRequest_, fault, bundleID,
                                                     completion = std::move(completion)] {
    const std::string name = request ? request->applicationName : std::string("application");
    if (!request) {
      ScriptOutcome o;
      o.status = 1;
      o.errorOutput = "syntax error: Expected end of line but found unknown token. (-2741)\n";
      return completion(std::move(o));
    }
    if (fault == ScriptFault::permissionRefused)
      return completion(failed(-1743, "Not authorized to send Apple events to " + name + "."));
    if (fault == ScriptFault::notRunning)
      return completion(failed(-600, name + " got an error: Application isn\u2019t running."));
    if (!bundleID.empty() && desktop_.failingScripts.contains(bundleID))
      return completion(failed(-1728, name + " got an error: Can\u2019t get window 1."));
    auto answer = tabs_.answer(*request);
    if (answer.error) return completion(failed(answer.error->number, answer.error->message));
    ScriptOutcome o = printed(answer.text);
    if (fault == ScriptFault::garbled) {
      o.output = "\xff\xfe" + o.output.substr(0, o.output.size() / 2) + "\xc3\n";
    } else if (fault == ScriptFault::truncated) {
      // Half of it, cut on a character boundary.
      std::size_t cut = o.output.size() / 2;
      while (cut > 0 && (static_cast<unsigned char>(o.output[cut]) & 0xC0) == 0x80) --cut;
      o.output.resize(cut);
    } else if (fault == ScriptFault::empty) {
      o.output = "\n";
    } else if (fault == ScriptFault::enormous) {
      std::string big;
      big.reserve(kMaxOutputBytes);
      while (big.size() < kMaxOutputBytes) big += o.output.size() > 1 ? o.output : std::string("x\n");
      big.resize(kMaxOutputBytes);
      o.output = std::move(big);
      o.outputCut = true;
    }
    completion(std::move(o));
  });
}

}  // namespace velvix::sim
