#pragma once
// The simulated desktop's stand-in for the script compiler: it recognises the scripts this
// program sends — one of its libraries followed by one of its trailers, or the standalone
// live-tabs script, each known by the fingerprint of its exact text (SimScriptTexts) — and reads
// the values written into them as string literals. Anything else does not compile, as a script
// the real compiler rejects.

#include <optional>
#include <string>
#include <vector>

namespace velvix::sim {

struct SimScriptRequest {
  enum class Library { chromium, safari, terminal, standalone };
  Library library = Library::chromium;
  std::string applicationName;  // how the script addresses the application
  // "seedtabs", "currenttab", "livetabs", "fronttabs", "windownames", "resolvetab", "closetab",
  // "closeidentified"
  std::string handler;
  // Of "resolvetab" and "closetab": the index text, the address (tty), the title, and whether
  // the tab is private ("true" or "false"); of "closeidentified": the window id and the tab id.
  std::vector<std::string> arguments;
  // Safari: the Accessibility titles handed to the library, when the trailer sets them.
  std::vector<std::string> windowTitles;
  bool terminalKeys = false;  // the standalone live-tabs script asks for ttys
};

class SimScriptReader {
 public:
  static std::optional<SimScriptRequest> read(const std::string& script);
  // The string literal that starts at `at` ("..." with \\ and \" escapes); `at` moves past it.
  static std::optional<std::string> literal(const std::string& text, std::size_t& at);
};

}  // namespace velvix::sim
