#include "Bridge/AppleScriptTrailers.hpp"

#include "Platform/Utf8.hpp"

namespace velvix {
namespace {

// Control characters (C0, DEL, C1) and the Unicode line and paragraph separators: none of them
// may reach a literal, where a line break would end the statement.
bool dropped(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::string AppleScriptTrailers::quoted(std::string_view value) {
  std::u32string kept;
  for (char32_t c : utf8::decode(value))
    if (!dropped(c)) kept.push_back(c);
  std::string result = "\"";
  for (char c : utf8::encode(kept)) {
    if (c == '\\' || c == '"') result += '\\';
    result += c;
  }
  result += '"';
  return result;
}

std::string AppleScriptTrailers::windowTitlesLine(const std::vector<std::string>& titles) {
  std::string line = "set axWindowTitles to {";
  for (std::size_t i = 0; i < titles.size(); ++i) {
    if (i > 0) line += ", ";
    line += quoted(titles[i]);
  }
  return line + "}";
}

std::string AppleScriptTrailers::assemble(const std::string& source, const std::string& trailer) {
  if (trailer.empty()) return source;
  return source + "\n" + trailer + "\n";
}

const std::string& AppleScriptTrailers::seeding() {
  static const std::string text =
      "set out to {}\n"
      "repeat with e in seedtabs()\n"
      "    if (count of e) > 3 then\n"
      "        set end of out to ((item 1 of e) & tab & (item 2 of e) & tab &             (item 3 of e) & "
      "tab & "
      "(item 4 of e))\n"
      "    else\n"
      "        set end of out to ((item 1 of e) & tab & (item 2 of e) & tab & (item 3 of e))\n"
      "    end if\n"
      "end repeat\n"
      "set AppleScript's text item delimiters to linefeed\n"
      "return out as text";
  return text;
}

const std::string& AppleScriptTrailers::currentTab() {
  static const std::string text =
      "set r to currenttab()\n"
      "if (count of r) < 3 then return \"\"\n"
      "if (count of r) > 3 then\n"
      "    return ((item 1 of r) & tab & (item 2 of r) & tab &         (item 3 of r) & tab & (item 4 of r))\n"
      "end if\n"
      "return ((item 1 of r) & tab & (item 2 of r) & tab & (item 3 of r))";
  return text;
}

const std::string& AppleScriptTrailers::frontTabs() {
  static const std::string text = "return fronttabs()";
  return text;
}

const std::string& AppleScriptTrailers::windowNames() {
  static const std::string text =
      "set AppleScript's text item delimiters to linefeed\n"
      "return windownames() as text";
  return text;
}

std::string AppleScriptTrailers::resolve(std::string_view handler, std::int64_t index, std::string_view url,
                                         std::string_view title, bool privateOnly) {
  std::string line = "return (";
  line += handler;
  line += "(";
  const std::string indexText = std::to_string(index);
  for (std::string_view text : {std::string_view(indexText), url, title}) {
    line += quoted(text);
    line += ", ";
  }
  line += privateOnly ? "true" : "false";
  return line + ") as text)";
}

std::string AppleScriptTrailers::closeIdentified(std::int64_t windowID, std::int64_t tabID) {
  return "return (closeidentified(" + std::to_string(windowID) + ", " + std::to_string(tabID) + ") as text)";
}

std::string AppleScriptTrailers::liveTabs(std::string_view applicationName, bool terminal) {
  return "set out to {}\n"
         "tell application " +
         quoted(applicationName) +
         "\n"
         "    repeat with w in windows\n"
         "        try\n"
         "            repeat with t in tabs of w\n"
         "                try\n"
         "                    set end of out to (" +
         std::string(terminal ? "tty of t as text" : "URL of t as text") +
         ")\n"
         "                end try\n"
         "            end repeat\n"
         "        end try\n"
         "    end repeat\n"
         "end tell\n"
         "set AppleScript's text item delimiters to linefeed\n"
         "return out as text";
}

}  // namespace velvix
