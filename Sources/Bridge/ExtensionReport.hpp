#pragma once
// One report from a browser or editor extension, read from its JSON text: the envelope (browser,
// event, session) and the values of its event. Text without a readable envelope is no report; an
// event value that is missing or of the wrong type is left absent, and the report still counts
// (it registers its connection).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Core/TabPack.hpp"
#include "Support/Browser.hpp"

namespace velvix {

enum class ReportEvent { hello, sync, activated, updated, cmdresult, removed, replaced, other };

struct ExtensionReport {
  Browser browser = Browser::chrome;
  ReportEvent event = ReportEvent::other;
  std::string eventName;
  std::optional<std::string> session;

  // "sync": the windows that carry a whole-number id; absent when "windows" is not an array.
  std::optional<std::vector<SyncedWindow>> windows;
  // "activated", "updated", "replaced": the tab, when it can be read.
  std::optional<TabPack> tab;
  // "activated": whether the tab's window has the focus; true unless it says false.
  bool windowFocused = true;
  // "removed": "tabId"; "replaced": "replacedTabId".
  std::optional<std::int64_t> tabID;
  std::optional<std::int64_t> replacedTabID;
  // "cmdresult": what the extension did with a command.
  std::string cmd = "?";
  bool ok = false;
  std::string error = "-";

  bool operator==(const ExtensionReport&) const = default;

  // Nothing when the text is not a JSON object with a known "browser" and an "event" string.
  // A lone UTF-16 surrogate escape (a broken character, as scripts make them from cut titles)
  // reads as U+FFFD instead of costing the whole report.
  static std::optional<ExtensionReport> parse(std::string_view line);
  // The report of a JSON document already read; the same rules as parse.
  static std::optional<ExtensionReport> fromDocument(const nlohmann::json& document);
  // The line's "session" when the line is a JSON object that holds it as a string.
  static std::optional<std::string> sessionOf(std::string_view line);
};

}  // namespace velvix
