#pragma once
// Runs Safari's script library inside the process instead of through a child interpreter, so
// switching to and closing Safari tabs pay the compile once and answer quickly. The library is
// compiled on the first call and kept; every call goes through its entry handler "hostresolve"
// on the host's own serial queue. A host that cannot compile marks itself unusable, and the
// bridge sends every later Safari switch or close through the script runner. Busy and unusable
// are read and written on the main loop.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/InProcessScripts.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

class DebugLog;
class RunningApps;
namespace platform {
class Workspace;
}

class SafariScriptHost {
 public:
  static constexpr const char* kQueueLabel = "velvix.safari-script";
  static constexpr const char* kEntryHandler = "hostresolve";
  static constexpr double kWarmAfterLaunch = 3.0;
  // A warm-up switches to a tab that cannot exist: an address no page has and a title that
  // starts with a control character.
  static constexpr const char* kWarmURL = "velvix-warm://";
  static constexpr const char* kWarmTitle = "\x01velvix-warm";

  using Completion = std::function<void(std::optional<std::vector<std::string>>)>;

  // `workspace` tells of Safari's launches and `runningApps` whether it runs; the answers come back
  // through `loop`, and each call's outcome goes to `log`.
  SafariScriptHost(platform::Workspace& workspace, RunningApps& runningApps, platform::MainLoop& loop,
                   DebugLog& log, platform::InProcessScripts& engine);
  ~SafariScriptHost();
  SafariScriptHost(const SafariScriptHost&) = delete;
  SafariScriptHost& operator=(const SafariScriptHost&) = delete;

  // Warms the host now and again 3 s after every launch of Safari.
  void start();
  // Compiles and exercises the script with a call that matches no tab, when the host is idle and
  // usable and Safari runs.
  void warm();
  // One call of "hostresolve" for the handler ("resolvetab" or "closetab"); the completion gets
  // a list holding the answer text, or nothing when the call failed, on the main loop.
  void resolve(const std::string& handler, const std::vector<std::string>& titles, std::int64_t index,
               const std::string& url, const std::string& title, bool privateOnly, Completion completion);

  bool isUnusable() const { return unusable_; }
  bool isBusy() const { return busy_; }

  // The text of a platform error dictionary: "<number or ?> <message>", or "unknown" without one.
  static std::string describe(const platform::ScriptErrorDictionary& error);

 private:
  struct Outcome {
    enum class Kind { answered, failed, compileFailed };
    Kind kind;
    std::string text;  // the answer, or the description of the failure
  };
  // What lives on the host queue: the script object, made and compiled once.
  struct Compiled {
    std::unique_ptr<platform::CompiledScript> script;
  };
  static Outcome call(platform::InProcessScripts& engine, Compiled& compiled,
                      const std::vector<platform::ScriptParameter>& parameters);
  void finish(const std::string& handler, double started, const Outcome& outcome,
              const Completion& completion);

  platform::Workspace& workspace_;
  RunningApps& runningApps_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  platform::InProcessScripts& engine_;
  std::shared_ptr<Compiled> compiled_ = std::make_shared<Compiled>();
  bool unusable_ = false;
  bool busy_ = false;
  platform::NotificationCenter::Observation launches_;
  platform::Timer warmTimer_;
  AliveToken alive_;
  std::unique_ptr<platform::TaskQueue> queue_;  // last: its queued work finishes before the rest goes
};

}  // namespace velvix
