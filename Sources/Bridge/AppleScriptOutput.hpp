#pragma once
// Reads how a script run ended: a clean run's standard output as lines (one record per line,
// blank lines dropped, spaces trimmed, empty fields kept), or, for anything else, the one log
// line that says why there is no answer.

#include <optional>
#include <string>
#include <vector>

#include "Platform/ScriptRunner.hpp"

namespace velvix {

class AppleScriptOutput {
 public:
  static constexpr std::size_t kErrorTextLength = 300;

  struct Reading {
    std::optional<std::vector<std::string>> lines;  // nothing when the run failed
    std::optional<std::string> failure;             // the log line of a failed run, when it says one
  };
  static Reading read(const platform::ScriptOutcome& outcome);
  // Output split at line feeds, each piece trimmed of spaces and carriage returns (never of the
  // tabs that separate its fields), pieces without a field's worth of text dropped.
  static std::vector<std::string> lines(const std::string& output);
  // A record's fields, split at tab characters.
  static std::vector<std::string> fields(const std::string& line);
};

}  // namespace velvix
