#pragma once
// Scripts run inside this process instead of through a child interpreter: a script object is
// made from source text, compiled once and then called by handler name as often as needed, each
// call one Apple event ("call a subroutine") whose direct parameter is the list of arguments.
// The engine is not thread-safe: its user makes every call on one serial queue, the one
// makeSerialQueue gives (a thread of its own on the real system; the simulation's turns on the
// main loop, like the rest of the simulated desktop).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Platform/TaskQueue.hpp"

namespace velvix::platform {

// What the platform's error dictionary of a failed compile or call holds; each entry may be absent.
struct ScriptError {
  std::optional<std::int64_t> number;
  std::optional<std::string> message;
};
// A failure comes with an error dictionary, or with none at all.
using ScriptErrorDictionary = std::optional<ScriptError>;

using ScriptParameter = std::variant<std::string, bool, std::vector<std::string>>;

struct ScriptCallResult {
  bool failed = false;
  ScriptErrorDictionary error;  // when failed
  std::string text;             // the result's string value (empty when it has none)
};

class CompiledScript {
 public:
  virtual ~CompiledScript() = default;
  // Compiles the source; false with the error dictionary (which may be absent) when it cannot.
  virtual bool compile(ScriptErrorDictionary& error) = 0;
  virtual ScriptCallResult callSubroutine(const std::string& name,
                                          const std::vector<ScriptParameter>& directParameter) = 0;
};

class InProcessScripts {
 public:
  virtual ~InProcessScripts() = default;
  virtual std::unique_ptr<TaskQueue> makeSerialQueue(const std::string& label) = 0;
  // A script object over the source, not compiled yet; nothing when none can be made.
  virtual std::unique_ptr<CompiledScript> create(const std::string& source) = 0;
};

}  // namespace velvix::platform
