#pragma once
// Runs an Apple Events script against an application: one handler of the application's script
// library with its arguments, answered as text lines (one record per line, fields separated by
// tab characters). Every run is bounded by a hard time limit; a failed or killed run answers
// nothing. Completions arrive on any thread.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velvix::platform {

enum class ScriptLibrary { chromium, safari, terminal, standalone };

struct ScriptCall {
  std::string bundleID;         // the application the script talks to
  std::string appleScriptName;  // how the script addresses it
  ScriptLibrary library = ScriptLibrary::chromium;
  std::string handler;  // "seedtabs", "currenttab", "livetabs", "fronttabs", "windownames", "resolvetab", "closetab",
                        // "closeexact"
  std::vector<std::string> arguments;
  // Accessibility titles of Safari's windows, front to back: they tell its private windows apart.
  std::vector<std::string> windowTitles;
};

class ScriptRunner {
 public:
  static constexpr double kTimeLimit = 4.0;
  using Completion = std::function<void(std::optional<std::vector<std::string>> lines)>;
  virtual ~ScriptRunner() = default;
  virtual void run(const ScriptCall& call, Completion completion) = 0;
};

}  // namespace velvix::platform
