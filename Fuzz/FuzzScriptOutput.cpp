// The reader of a script run's result: the first byte picks how the run ended (and whether its
// output was cut), the rest is standard output and standard error, split at the first 0xFF
// byte. Whatever the bytes, a clean run gives lines that are UTF-8 without line feeds and whose
// fields join back into the line; anything else gives at most one UTF-8 log line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Bridge/AppleScriptOutput.hpp"
#include "Platform/Utf8.hpp"

using namespace velvix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  using Ending = platform::ScriptOutcome::Ending;
  platform::ScriptOutcome outcome;
  const std::uint8_t how = data[0];
  outcome.ending = how % 3 == 0 ? Ending::exited : how % 3 == 1 ? Ending::signaled : Ending::notLaunched;
  outcome.status = (how >> 2) % 4 == 0 ? 0 : static_cast<int>(how >> 2);
  outcome.outputCut = (how & 0x80) != 0;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto split = rest.find('\xFF');
  outcome.output = rest.substr(0, split);
  if (split != std::string::npos) outcome.errorOutput = rest.substr(split + 1);

  const auto reading = AppleScriptOutput::read(outcome);
  if (outcome.ending == Ending::notLaunched && (reading.lines || reading.failure)) std::abort();
  if (reading.lines && reading.failure) std::abort();
  if (reading.lines) {
    for (const std::string& line : *reading.lines) {
      if (line.find('\n') != std::string::npos || !utf8::isValid(line)) std::abort();
      const auto fields = AppleScriptOutput::fields(line);
      std::string joined;
      for (std::size_t i = 0; i < fields.size(); ++i) joined += (i ? "\t" : "") + fields[i];
      if (fields.empty() || joined != line) std::abort();
    }
  }
  if (reading.failure && (!utf8::isValid(*reading.failure) || !reading.failure->starts_with("osascript ")))
    std::abort();
  return 0;
}
