#include "Platform/Simulated/SimScriptReader.hpp"

#include "Bridge/AppleScriptLibrary.hpp"
#include "Bridge/AppleScriptTrailers.hpp"

namespace velvix::sim {
namespace {

bool startsWith(const std::string& text, std::size_t at, std::string_view part) {
  return text.compare(at, part.size(), part) == 0;
}

// A closing `true` or `false` argument, read as its word; nothing is added when neither stands there.
void readFlag(const std::string& trailer, std::size_t& at, SimScriptRequest& request) {
  for (const char* flag : {"true", "false"})
    if (startsWith(trailer, at, flag)) {
      request.arguments.emplace_back(flag);
      at += std::char_traits<char>::length(flag);
      return;
    }
}

// The name in the first `tell application "<name>"` of the script.
std::optional<std::string> addressedApplication(const std::string& script) {
  static const std::string kTell = "tell application ";
  auto at = script.find(kTell);
  if (at == std::string::npos) return std::nullopt;
  at += kTell.size();
  return SimScriptReader::literal(script, at);
}

// `<handler>(<literal>, <literal>, <literal>, true|false) as text)` after "return (".
bool readResolve(const std::string& trailer, SimScriptRequest& request) {
  static const std::string kReturn = "return (";
  if (!startsWith(trailer, 0, kReturn)) return false;
  std::size_t at = kReturn.size();
  for (const char* handler : {"resolvetab(", "closetab("})
    if (startsWith(trailer, at, handler)) {
      request.handler = std::string(handler, std::char_traits<char>::length(handler) - 1);
      at += std::char_traits<char>::length(handler);
    }
  if (request.handler.empty()) return false;
  for (int i = 0; i < 3; ++i) {
    auto value = SimScriptReader::literal(trailer, at);
    if (!value || !startsWith(trailer, at, ", ")) return false;
    request.arguments.push_back(*value);
    at += 2;
  }
  readFlag(trailer, at, request);
  return request.arguments.size() == 4 && trailer.compare(at, std::string::npos, ") as text)") == 0;
}

// `closeidentified(<integer>, <integer>) as text)` after "return (", of a Chromium library.
bool readCloseIdentified(const std::string& trailer, SimScriptRequest& request) {
  static const std::string kCall = "return (closeidentified(";
  if (!startsWith(trailer, 0, kCall)) return false;
  std::size_t at = kCall.size();
  for (const char* after : {", ", ") as text)"}) {
    const std::size_t first = at;
    if (at < trailer.size() && trailer[at] == '-') ++at;
    const std::size_t digits = at;
    while (at < trailer.size() && trailer[at] >= '0' && trailer[at] <= '9') ++at;
    if (at == digits || !startsWith(trailer, at, after)) return false;
    request.arguments.push_back(trailer.substr(first, at - first));
    at += std::char_traits<char>::length(after);
  }
  request.handler = "closeidentified";
  return at == trailer.size();
}

bool readTitles(std::string& trailer, SimScriptRequest& request) {
  static const std::string kSet = "set axWindowTitles to {";
  if (!startsWith(trailer, 0, kSet)) return true;
  std::size_t at = kSet.size();
  while (!startsWith(trailer, at, "}")) {
    if (!request.windowTitles.empty()) {
      if (!startsWith(trailer, at, ", ")) return false;
      at += 2;
    }
    auto title = SimScriptReader::literal(trailer, at);
    if (!title) return false;
    request.windowTitles.push_back(*title);
  }
  if (!startsWith(trailer, at, "}\n")) return false;
  trailer.erase(0, at + 2);
  return true;
}

bool readTrailer(std::string trailer, SimScriptRequest& request) {
  using Library = SimScriptRequest::Library;
  const bool safari = request.library == Library::safari;
  if (safari && !readTitles(trailer, request)) return false;
  if (trailer == AppleScriptTrailers::seeding()) {
    request.handler = "seedtabs";
  } else if (trailer == AppleScriptTrailers::currentTab()) {
    request.handler = "currenttab";
  } else if (safari && trailer == AppleScriptTrailers::frontTabs()) {
    request.handler = "fronttabs";
  } else if (safari && trailer == AppleScriptTrailers::windowNames()) {
    request.handler = "windownames";
  } else if (request.library == Library::chromium && startsWith(trailer, 0, "return (closeidentified(")) {
    return readCloseIdentified(trailer, request);
  } else if (!readResolve(trailer, request)) {
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> SimScriptReader::literal(const std::string& text, std::size_t& at) {
  if (at >= text.size() || text[at] != '"') return std::nullopt;
  std::string value;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      at = i + 1;
      return value;
    }
    if (c == '\\') {
      if (++i >= text.size()) return std::nullopt;
      const char escaped = text[i];
      value += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped;
      continue;
    }
    value += c;
  }
  return std::nullopt;  // the literal never ends
}

std::optional<SimScriptRequest> SimScriptReader::read(const std::string& script) {
  using Library = SimScriptRequest::Library;
  SimScriptRequest request;
  auto name = addressedApplication(script);
  if (!name) return std::nullopt;
  request.applicationName = *name;

  std::string library;
  if (startsWith(script, 0, AppleScriptLibrary::safari())) {
    request.library = Library::safari;
    library = AppleScriptLibrary::safari();
  } else if (startsWith(script, 0, AppleScriptLibrary::terminal())) {
    request.library = Library::terminal;
    library = AppleScriptLibrary::terminal();
  } else if (std::string chromium = AppleScriptLibrary::chromiumFor(*name); startsWith(script, 0, chromium)) {
    request.library = Library::chromium;
    library = std::move(chromium);
  } else {
    for (bool terminal : {false, true})
      if (script == AppleScriptTrailers::liveTabs(*name, terminal)) {
        request.library = Library::standalone;
        request.handler = "livetabs";
        request.terminalKeys = terminal;
        return request;
      }
    return std::nullopt;
  }
  // The library, a line feed, the trailer and a final line feed.
  if (script.size() < library.size() + 2 || script[library.size()] != '\n' || script.back() != '\n')
    return std::nullopt;
  std::string trailer = script.substr(library.size() + 1, script.size() - library.size() - 2);
  if (!readTrailer(std::move(trailer), request)) return std::nullopt;
  return request;
}

}  // namespace velvix::sim
