#include "Bridge/AppleScriptOutput.hpp"

#include "Platform/Utf8.hpp"

namespace velvix {
namespace {

// Spaces and line breaks, never the tab: a tab at either end of a record separates an empty
// field (a tab without an address leads with one), and trimming it would shift every field.
bool isLineEnd(char c) {
  return c == ' ' || c == '\r' || c == '\v' || c == '\f';
}
bool isSpaceOrBreak(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string trimmed(const std::string& text, bool (*strip)(char)) {
  std::size_t first = 0, last = text.size();
  while (first < last && strip(text[first])) ++first;
  while (last > first && strip(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace

std::vector<std::string> AppleScriptOutput::lines(const std::string& output) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start <= output.size()) {
    auto end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string piece = trimmed(output.substr(start, end - start), isLineEnd);
    if (piece.find_first_not_of('\t') != std::string::npos) result.push_back(std::move(piece));
    start = end + 1;
  }
  return result;
}

std::vector<std::string> AppleScriptOutput::fields(const std::string& line) {
  std::vector<std::string> result;
  std::size_t start = 0;
  for (;;) {
    auto tab = line.find('\t', start);
    result.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return result;
    start = tab + 1;
  }
}

AppleScriptOutput::Reading AppleScriptOutput::read(const platform::ScriptOutcome& outcome) {
  using Ending = platform::ScriptOutcome::Ending;
  // The interpreter could not be started: nothing to say beyond the missing answer.
  if (outcome.ending == Ending::notLaunched) return {};
  const bool clean = outcome.ending == Ending::exited && outcome.status == 0;
  if (clean && !outcome.outputCut && utf8::isValid(outcome.output))
    return {lines(outcome.output), std::nullopt};

  std::string errorText;
  if (utf8::isValid(outcome.errorOutput))
    errorText = utf8::prefix(trimmed(outcome.errorOutput, isSpaceOrBreak), kErrorTextLength);
  // A clean exit whose answer cannot be used says why, so the log never shows a bare "exit 0".
  if (clean && errorText.empty())
    errorText = outcome.outputCut ? "answer cut off or too long" : "answer is not UTF-8";
  std::string message = "osascript ";
  message += outcome.ending == Ending::signaled ? "killed by signal" : "exit";
  message += " " + std::to_string(outcome.status) + ": " + errorText;
  return {std::nullopt, message};
}

}  // namespace velvix
