#pragma once
// The short trailers that call a library's handlers and return their result as text, the
// standalone live-tabs script, how a script is assembled from a library and a trailer, and the
// one way values are written into a script: as string literals they can never break out of.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velvix {

class AppleScriptTrailers {
 public:
  // The value as a string literal: control characters and line breaks removed, backslashes and
  // double quotes escaped, ill-formed UTF-8 replaced, the whole in double quotes.
  static std::string quoted(std::string_view value);
  // The statement that hands Safari's Accessibility window titles to its library.
  static std::string windowTitlesLine(const std::vector<std::string>& titles);
  // The library; with a trailer, a line feed, the trailer and a final line feed.
  static std::string assemble(const std::string& source, const std::string& trailer);

  static const std::string& seeding();
  static const std::string& currentTab();
  static const std::string& frontTabs();
  static const std::string& windowNames();
  // "return (<handler>(<index>, <url>, <title>, <true|false>) as text)", each text quoted.
  static std::string resolve(std::string_view handler, std::int64_t index, std::string_view url,
                             std::string_view title, bool privateOnly);
  // "return (closeidentified(<window id>, <tab id>) as text)": a Chromium library's close of the
  // one tab with that id in the window with that id, and of nothing else.
  static std::string closeIdentified(std::int64_t windowID, std::int64_t tabID);
  // The script, without a library, that lists the key of every tab of every window (the tty for
  // Terminal, the address for every other browser).
  static std::string liveTabs(std::string_view applicationName, bool terminal);
};

}  // namespace velvix
