#include "Bridge/ExtensionReport.hpp"

#include <array>

#include <nlohmann/json.hpp>

#include "Core/JsonFields.hpp"
#include "Support/QuickJsonReader.hpp"

namespace velvix {
namespace {

using nlohmann::json;

constexpr std::array<std::pair<std::string_view, ReportEvent>, 7> kEvents{{
    {"hello", ReportEvent::hello},
    {"sync", ReportEvent::sync},
    {"activated", ReportEvent::activated},
    {"updated", ReportEvent::updated},
    {"cmdresult", ReportEvent::cmdresult},
    {"removed", ReportEvent::removed},
    {"replaced", ReportEvent::replaced},
}};

ReportEvent eventNamed(std::string_view name) {
  for (const auto& [text, event] : kEvents)
    if (text == name) return event;
  return ReportEvent::other;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of a "\uXXXX" escape at `at`, or -1 when there is none.
long escapeAt(std::string_view text, std::size_t at) {
  if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
  long value = 0;
  for (std::size_t k = 2; k < 6; ++k) {
    const int digit = hexValue(text[at + k]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

bool isHigh(long unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLow(long unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Deeper than any report needs by far; a line of nothing but brackets would otherwise cost the
// main loop a second of reading.
constexpr int kMaxNesting = 64;

struct Prepared {
  bool refused = false;
  std::optional<std::string> repaired;  // set only when the text had to change
};

// One pass over the text: refuses nesting past kMaxNesting, and turns every unpaired surrogate
// escape inside a string into "\ufffd" (the same length, so it is rewritten in place). The JSON
// reader refuses such escapes, and one broken title would otherwise lose the whole report.
Prepared prepare(std::string_view text) {
  Prepared prepared;
  bool inString = false;
  int depth = 0;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (!inString) {
      if (c == '"') {
        inString = true;
      } else if (c == '[' || c == '{') {
        if (++depth > kMaxNesting) return {.refused = true};
      } else if (c == ']' || c == '}') {
        --depth;
      }
      ++at;
    } else if (c == '"') {
      inString = false;
      ++at;
    } else if (c != '\\') {
      ++at;
    } else if (const long unit = escapeAt(text, at); unit < 0) {
      at += 2;  // any other escape, or a broken one the reader will refuse
    } else if (isHigh(unit) && isLow(escapeAt(text, at + 6))) {
      at += 12;  // a proper pair
    } else {
      if (isHigh(unit) || isLow(unit)) {
        if (!prepared.repaired) prepared.repaired.emplace(text);
        prepared.repaired->replace(at + 2, 4, "fffd");
      }
      at += 6;
    }
  }
  return prepared;
}

std::optional<json> objectOf(std::string_view line) {
  // Nearly every line is plain JSON, read in one quick pass into the very document the general
  // reader makes. What that pass declines (bad text too) goes the careful way below.
  if (auto document = QuickJsonReader::readObject(line)) return document;
  const Prepared prepared = prepare(line);
  if (prepared.refused) return std::nullopt;
  const std::string_view text = prepared.repaired ? std::string_view(*prepared.repaired) : line;
  json document = json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (!document.is_object()) return std::nullopt;
  return document;
}

std::optional<TabPack> tabOf(const json& report) {
  auto it = report.find("tab");
  if (it == report.end()) return std::nullopt;
  return TabPack::fromJSON(*it);
}

std::optional<std::vector<SyncedWindow>> windowsOf(const json& report) {
  auto it = report.find("windows");
  if (it == report.end() || !it->is_array()) return std::nullopt;
  std::vector<SyncedWindow> windows;
  for (const json& object : *it) {
    if (!object.is_object()) continue;
    auto windowID = jsonfields::wholeNumber(object, "windowId");
    if (!windowID) continue;
    SyncedWindow window{.windowID = *windowID, .focused = jsonfields::flag(object, "focused")};
    if (auto tabs = object.find("tabs"); tabs != object.end() && tabs->is_array())
      for (const json& tab : *tabs)
        if (auto pack = TabPack::fromJSON(tab)) window.tabs.push_back(std::move(*pack));
    windows.push_back(std::move(window));
  }
  return windows;
}

// The report's envelope: nothing without a known "browser" and an "event" text.
std::optional<ExtensionReport> withEnvelope(std::optional<std::string> browserName,
                                            std::optional<std::string> eventName,
                                            std::optional<std::string> session) {
  if (!browserName || !eventName) return std::nullopt;
  const auto browser = browsers::fromRawValue(*browserName);
  if (!browser) return std::nullopt;
  ExtensionReport report;
  report.browser = *browser;
  report.event = eventNamed(*eventName);
  report.eventName = std::move(*eventName);
  report.session = std::move(session);
  return report;
}

// One member of a tab object; the later of a repeated member counts, as in a document.
bool readTabMember(QuickJsonReader& reader, std::string_view key, TabPack::Members& tab) {
  if (key == "tabId") return reader.readInteger(tab.tabId);
  if (key == "windowId") return reader.readInteger(tab.windowId);
  if (key == "index") return reader.readInteger(tab.index);
  if (key == "title") return reader.readText(tab.title);
  if (key == "url") return reader.readText(tab.url);
  if (key == "favIconUrl") return reader.readText(tab.favIconUrl);
  if (key == "isPrivate") return reader.readBoolean(tab.isPrivate);
  if (key == "active") return reader.readBoolean(tab.active);
  if (key == "redacted") return reader.readBoolean(tab.redacted);
  json other;
  return reader.readValue(other);
}

// The lines that arrive most often, "activated" and "updated", read member by member without a
// document. Nothing for any other line, which the document route then reads (and judges): the
// quick reader declined it, it is another event, or it carries a list or object besides its tab.
std::optional<ExtensionReport> quickTabReport(std::string_view line) {
  QuickJsonReader reader(line);
  if (!reader.enterObject()) return std::nullopt;
  std::optional<std::string> browser, event, session;
  std::optional<bool> windowFocused;
  std::optional<TabPack::Members> tab;  // set while the last "tab" given is an object
  std::string key;
  while (reader.nextKey(key)) {
    bool read = true;
    if (key == "tab") {
      tab.reset();
      if (reader.peek() == '{') {
        tab.emplace();
        reader.enterObject();
        while (reader.nextKey(key)) read = read && readTabMember(reader, key, *tab);
      } else {
        json other;
        read = reader.readValue(other);
      }
    } else if (key == "browser") {
      read = reader.readText(browser);
    } else if (key == "event") {
      read = reader.readText(event) && event && (*event == "activated" || *event == "updated");
    } else if (key == "session") {
      read = reader.readText(session);
    } else if (key == "windowFocused") {
      read = reader.readBoolean(windowFocused);
    } else {
      json other;
      read = reader.peek() != '[' && reader.peek() != '{' && reader.readValue(other);
    }
    if (!read) return std::nullopt;
  }
  if (!reader.finished() || !event) return std::nullopt;
  auto report = withEnvelope(std::move(browser), std::move(event), std::move(session));
  if (!report) return std::nullopt;
  if (tab) report->tab = TabPack::fromMembers(std::move(*tab));
  if (report->event == ReportEvent::activated) report->windowFocused = windowFocused.value_or(true);
  return report;
}

}  // namespace

std::optional<ExtensionReport> ExtensionReport::parse(std::string_view line) {
  if (auto report = quickTabReport(line)) return report;
  const auto document = objectOf(line);
  if (!document) return std::nullopt;
  return fromDocument(*document);
}

std::optional<ExtensionReport> ExtensionReport::fromDocument(const json& document) {
  using namespace jsonfields;
  if (!document.is_object()) return std::nullopt;
  auto envelope = withEnvelope(text(document, "browser"), text(document, "event"), text(document, "session"));
  if (!envelope) return std::nullopt;
  ExtensionReport& report = *envelope;
  switch (report.event) {
    case ReportEvent::sync:
      report.windows = windowsOf(document);
      break;
    case ReportEvent::activated:
      report.tab = tabOf(document);
      report.windowFocused = boolean(document, "windowFocused").value_or(true);
      break;
    case ReportEvent::updated:
      report.tab = tabOf(document);
      break;
    case ReportEvent::cmdresult:
      report.cmd = text(document, "cmd").value_or("?");
      report.ok = flag(document, "ok");
      report.error = text(document, "error").value_or("-");
      break;
    case ReportEvent::removed:
      report.tabID = wholeNumber(document, "tabId");
      break;
    case ReportEvent::replaced:
      report.replacedTabID = wholeNumber(document, "replacedTabId");
      report.tab = tabOf(document);
      break;
    case ReportEvent::hello:
    case ReportEvent::other:
      break;
  }
  return envelope;
}

std::optional<std::string> ExtensionReport::sessionOf(std::string_view line) {
  const auto document = objectOf(line);
  if (!document) return std::nullopt;
  return jsonfields::text(*document, "session");
}

}  // namespace velvix
