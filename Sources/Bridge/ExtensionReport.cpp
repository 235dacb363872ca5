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
std::optional<ExtensionReport> withEnvelope(const json* browser, const json* event, const json* session) {
  const auto browserName = jsonfields::text(browser);
  const auto eventName = jsonfields::text(event);
  if (!browserName || !eventName) return std::nullopt;
  const auto known = browsers::fromRawValue(*browserName);
  if (!known) return std::nullopt;
  ExtensionReport report;
  report.browser = *known;
  report.eventName = *eventName;
  report.event = eventNamed(*eventName);
  report.session = jsonfields::text(session);
  return report;
}

// The members of a tab object, read one by one; each the last value given.
struct TabMembers {
  std::optional<json> tabId, windowId, index, title, url, favIconUrl, isPrivate, active, redacted;

  std::optional<json>* slot(std::string_view key) {
    if (key == "tabId") return &tabId;
    if (key == "windowId") return &windowId;
    if (key == "index") return &index;
    if (key == "title") return &title;
    if (key == "url") return &url;
    if (key == "favIconUrl") return &favIconUrl;
    if (key == "isPrivate") return &isPrivate;
    if (key == "active") return &active;
    if (key == "redacted") return &redacted;
    return nullptr;
  }
  std::optional<TabPack> pack() const {
    auto given = [](const std::optional<json>& value) { return value ? &*value : nullptr; };
    return TabPack::fromMembers({.tabId = given(tabId),
                                 .windowId = given(windowId),
                                 .index = given(index),
                                 .title = given(title),
                                 .url = given(url),
                                 .favIconUrl = given(favIconUrl),
                                 .isPrivate = given(isPrivate),
                                 .active = given(active),
                                 .redacted = given(redacted)});
  }
};

bool isTabEvent(const json& event) {
  return event.is_string() && (event == "activated" || event == "updated");
}

// The lines that arrive most often, "activated" and "updated", read member by member without a
// document. Nothing for any other line, which the document route then reads (and judges): the
// quick reader declined it, it is another event, or it carries a list or object besides its tab.
std::optional<ExtensionReport> quickTabReport(std::string_view line) {
  QuickJsonReader reader(line);
  if (!reader.enterObject()) return std::nullopt;
  std::optional<json> browser, event, session, windowFocused;
  std::optional<TabMembers> tab;  // set while the last "tab" given is an object
  std::string key;
  json ignored;
  while (reader.nextKey(key)) {
    if (key == "tab") {
      tab.reset();
      if (reader.peek() != '{') {
        if (!reader.readValue(ignored)) return std::nullopt;
        continue;
      }
      tab.emplace();
      reader.enterObject();
      while (reader.nextKey(key)) {
        std::optional<json>* slot = tab->slot(key);
        if (!reader.readValue(slot ? slot->emplace() : ignored)) return std::nullopt;
      }
      continue;
    }
    std::optional<json>* slot = key == "browser"         ? &browser
                                : key == "event"         ? &event
                                : key == "session"       ? &session
                                : key == "windowFocused" ? &windowFocused
                                                         : nullptr;
    if (!slot && (reader.peek() == '[' || reader.peek() == '{')) return std::nullopt;
    if (!reader.readValue(slot ? slot->emplace() : ignored)) return std::nullopt;
    if (slot == &event && !isTabEvent(*event)) return std::nullopt;
  }
  if (!reader.finished() || !event) return std::nullopt;
  auto given = [](const std::optional<json>& value) { return value ? &*value : nullptr; };
  auto report = withEnvelope(given(browser), given(event), given(session));
  if (!report) return std::nullopt;
  report->tab = tab ? tab->pack() : std::nullopt;
  if (report->event == ReportEvent::activated)
    report->windowFocused = jsonfields::boolean(given(windowFocused)).value_or(true);
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
  auto envelope =
      withEnvelope(member(document, "browser"), member(document, "event"), member(document, "session"));
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
