#pragma once
// In-process script execution on the simulated desktop: a script object over Safari's library
// (known by its fingerprint, SimScriptTexts) compiles; calling its entry handler "hostresolve"
// switches or closes a tab of the simulated Safari as the library would. Calls run on a queue that turns on
// the virtual main loop. Tests make compiling or single calls fail.

#include <deque>
#include <memory>
#include <optional>

#include "Platform/InProcessScripts.hpp"
#include "Platform/Simulated/SimTabScripts.hpp"

namespace velvix::sim {

class SimDesktop;

class SimInProcessScripts final : public platform::InProcessScripts {
 public:
  explicit SimInProcessScripts(SimDesktop& desktop);
  std::unique_ptr<platform::TaskQueue> makeSerialQueue(const std::string& label) override;
  std::unique_ptr<platform::CompiledScript> create(const std::string& source) override;

  // Faults: no script object at all; compiling fails with this error dictionary; the next calls
  // fail, one each, with these.
  bool noScriptObject = false;
  std::optional<platform::ScriptErrorDictionary> compileFailure;
  std::deque<platform::ScriptErrorDictionary> failingCalls;
  // What happened, for tests.
  int compiles = 0;
  int calls = 0;

 private:
  class Script;
  SimDesktop& desktop_;
  std::shared_ptr<double> latency_ = std::make_shared<double>(0.02);
};

}  // namespace velvix::sim
