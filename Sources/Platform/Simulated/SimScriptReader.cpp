#include "Platform/Simulated/SimScriptReader.hpp"

#include "Platform/Simulated/SimScriptTexts.hpp"
#include "Platform/Utf8.hpp"

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

using Texts = SimScriptTexts;

// The first `tell application "<name>"` of the script, as written, and the name it reads as.
struct Tell {
  std::string_view written;
  std::string name;
};

std::optional<Tell> addressedApplication(const std::string& script) {
  static const std::string kTell = "tell application ";
  const auto start = script.find(kTell);
  if (start == std::string::npos) return std::nullopt;
  std::size_t at = start + kTell.size();
  auto name = SimScriptReader::literal(script, at);
  if (!name) return std::nullopt;
  return Tell{std::string_view(script).substr(start, at - start), std::move(*name)};
}

// A name written into a script as it stands, with nothing escaped, dropped or replaced: the only
// names the Chromium library and the live-tabs script are addressed to.
bool writtenPlain(const Tell& tell) {
  if (!utf8::isValid(tell.name) || tell.written.find('\\') != std::string_view::npos) return false;
  for (char c : tell.name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

// The length of the script's first beginning that ends at one of its line feeds, or at its end,
// and has the fingerprint; with `tell`, the beginning is read with each such tell of it addressed
// to "".
std::optional<std::size_t> beginningWith(std::string_view script, std::uint64_t fingerprint,
                                         std::string_view tell = {}) {
  std::uint64_t read = Texts::kEmpty;
  for (std::size_t at = 0;;) {
    if ((at == script.size() || script[at] == '\n') && read == fingerprint) return at;
    if (at == script.size()) return std::nullopt;
    if (!tell.empty() && script.compare(at, tell.size(), tell) == 0) {
      read = Texts::extend(read, Texts::kUnaddressedTell);
      at += tell.size();
    } else {
      read = Texts::extend(read, script[at++]);
    }
  }
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
  const std::uint64_t fingerprint = Texts::fingerprint(trailer);
  if (fingerprint == Texts::kSeeding) {
    request.handler = "seedtabs";
  } else if (fingerprint == Texts::kCurrentTab) {
    request.handler = "currenttab";
  } else if (safari && fingerprint == Texts::kFrontTabs) {
    request.handler = "fronttabs";
  } else if (safari && fingerprint == Texts::kWindowNames) {
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
  auto tell = addressedApplication(script);
  if (!tell) return std::nullopt;
  request.applicationName = tell->name;

  std::optional<std::size_t> library;
  if ((library = beginningWith(script, Texts::kSafariLibrary))) {
    request.library = Library::safari;
  } else if ((library = beginningWith(script, Texts::kTerminalLibrary))) {
    request.library = Library::terminal;
  } else if (!writtenPlain(*tell)) {
    return std::nullopt;
  } else if ((library = beginningWith(script, Texts::kChromiumLibrary, tell->written))) {
    request.library = Library::chromium;
  } else {
    for (bool terminal : {false, true})
      if (beginningWith(script, terminal ? Texts::kLiveTabsOfTerminal : Texts::kLiveTabs, tell->written) ==
          script.size()) {
        request.library = Library::standalone;
        request.handler = "livetabs";
        request.terminalKeys = terminal;
        return request;
      }
    return std::nullopt;
  }
  // The library, a line feed, the trailer and a final line feed.
  if (script.size() < *library + 2 || script.back() != '\n') return std::nullopt;
  std::string trailer = script.substr(*library + 1, script.size() - *library - 2);
  if (!readTrailer(std::move(trailer), request)) return std::nullopt;
  return request;
}

}  // namespace velvix::sim
