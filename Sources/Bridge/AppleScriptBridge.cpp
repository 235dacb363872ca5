#include "Bridge/AppleScriptBridge.hpp"

#include <charconv>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Services.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Privacy.hpp"
#include "Support/DebugLog.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"
#include "Support/Utf8.hpp"

namespace velvix {

using platform::ScriptLibrary;
using Lines = std::optional<std::vector<std::string>>;

std::vector<std::string> AppleScriptBridge::splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    auto tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::optional<int> AppleScriptBridge::position(const std::vector<std::string>& fields) {
  if (fields.size() < 4 || fields[3].empty()) return std::nullopt;
  const std::string& text = fields[3];
  const char* first = text.data();
  if (*first == '+') ++first;
  int value = 0;
  auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
  return value;
}

bool AppleScriptBridge::isRunning(Browser browser) const {
  return services_.runningApps->first(std::string(browsers::bundleID(browser))).has_value();
}

platform::ScriptCall AppleScriptBridge::call(Browser browser, std::string handler, std::vector<std::string> arguments) {
  platform::ScriptCall c;
  c.bundleID = std::string(browsers::bundleID(browser));
  c.appleScriptName = std::string(browsers::appleScriptName(browser));
  c.library = browser == Browser::safari     ? ScriptLibrary::safari
              : browser == Browser::terminal ? ScriptLibrary::terminal
                                             : ScriptLibrary::chromium;
  c.handler = std::move(handler);
  c.arguments = std::move(arguments);
  // Safari's scripts learn which windows are private from their Accessibility titles.
  if (browser == Browser::safari && c.handler != "windownames" && c.handler != "livetabs")
    if (auto safari = services_.runningApps->first(c.bundleID)) c.windowTitles = services_.ax->allWindowTitles(safari->pid);
  return c;
}

void AppleScriptBridge::run(platform::ScriptCall c, std::function<void(Lines)> completion) {
  runner_.run(c, [loop = services_.loop, watch = alive_.watch(), completion = std::move(completion)](Lines lines) {
    loop->post([watch, completion, lines = std::move(lines)] {
      if (!watch.expired()) completion(lines);
    });
  });
}

void AppleScriptBridge::seed(Browser browser) {
  if (!isRunning(browser)) return;
  if (browser != Browser::safari) {
    seedNow(browser);
    return;
  }
  // A Safari extension that reports within this time makes the scripted seed unnecessary.
  pendingSeeds_.push_back(services_.loop->after(kSafariSeedDelay, [this] {
    if (!isRunning(Browser::safari)) return;
    if (services_.permissions->automationStatus(Browser::safari) != platform::Privacy::kAutomationGranted) return;
    auto last = services_.bridge ? services_.bridge->lastSafariEventAt() : std::nullopt;
    if (last && services_.loop->uptime() - *last < kSafariExtensionFresh) return;
    seedNow(Browser::safari);
  }));
}

void AppleScriptBridge::seedNow(Browser browser) {
  auto front = services_.workspace->frontmostApplication();
  const bool frontmost = front && front->bundleIdentifier == browsers::bundleID(browser);
  run(call(browser, "seedtabs"), [this, browser, frontmost](Lines lines) {
    if (!lines) return;
    const double now = services_.loop->now();
    int touched = 0;
    for (std::size_t k = 0; k < lines->size(); ++k) {
      auto fields = splitFields((*lines)[k]);
      if (fields.size() < 3) continue;
      ++touched;
      services_.mru->touchScriptedTab(browser, fields[0], fields[1], "as:" + fields[2], position(fields),
                                      now - 0.5 * touched, !(k == 0 && frontmost));
    }
  });
}

void AppleScriptBridge::currentTabAsync(Browser browser, std::function<void(CurrentTab)> completion) {
  if (!isRunning(browser)) return;
  run(call(browser, "currenttab"), [completion = std::move(completion)](Lines lines) {
    if (!lines || lines->empty()) return;
    auto fields = splitFields(lines->front());
    if (fields.size() < 3) return;
    completion({fields[0], fields[1], "as:" + fields[2], position(fields)});
  });
}

void AppleScriptBridge::liveTabKeysAsync(Browser browser, std::function<void(Lines)> completion) {
  platform::ScriptCall c = call(browser, "livetabs");
  c.library = ScriptLibrary::standalone;
  run(std::move(c), std::move(completion));
}

void AppleScriptBridge::frontTabsAsync(std::function<void(std::vector<FrontTab>)> completion) {
  if (!isRunning(Browser::safari) ||
      services_.permissions->automationStatus(Browser::safari) != platform::Privacy::kAutomationGranted) {
    completion({});
    return;
  }
  run(call(Browser::safari, "fronttabs"), [completion = std::move(completion)](Lines lines) {
    std::vector<FrontTab> tabs;
    if (lines)
      for (const auto& line : *lines) {
        auto fields = splitFields(line);
        if (fields.size() < 4) continue;
        int position = 0, count = 0;
        auto p = std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), position);
        auto c = std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), count);
        if (p.ec != std::errc() || p.ptr != fields[2].data() + fields[2].size() || c.ec != std::errc() ||
            c.ptr != fields[3].data() + fields[3].size())
          continue;
        tabs.push_back({fields[0], fields[1], position, count});
      }
    completion(std::move(tabs));
  });
}

void AppleScriptBridge::scriptedWindowNamesAsync(Browser browser,
                                                 std::function<void(Lines, bool fresh)> completion) {
  if (browser != Browser::safari || !isRunning(browser)) {
    completion(std::vector<std::string>{}, true);
    return;
  }
  auto cached = windowNames_.find(browser);
  if (cached != windowNames_.end() && services_.loop->uptime() - cached->second.at < kWindowNamesFresh) {
    completion(cached->second.names, false);
    return;
  }
  if (windowNamesInFlight_.contains(browser)) {
    completion(cached != windowNames_.end() ? Lines(cached->second.names) : std::nullopt, false);
    return;
  }
  windowNamesInFlight_.insert(browser);
  run(call(browser, "windownames"), [this, browser, completion = std::move(completion)](Lines lines) {
    windowNamesInFlight_.erase(browser);
    if (lines) {
      windowNames_[browser] = {*lines, services_.loop->uptime()};
      completion(lines, true);
      return;
    }
    auto it = windowNames_.find(browser);
    completion(it != windowNames_.end() ? Lines(it->second.names) : std::nullopt, false);
  });
}

std::vector<std::string> AppleScriptBridge::cachedScriptedWindowNames(Browser browser) const {
  auto it = windowNames_.find(browser);
  return it == windowNames_.end() ? std::vector<std::string>{} : it->second.names;
}

void AppleScriptBridge::resolve(const SwitchableItem& item, const std::string& handler,
                                std::function<void(bool)> completion) {
  if (!item.browser || !isRunning(*item.browser)) {
    completion(false);
    return;
  }
  const Browser browser = *item.browser;
  const std::int64_t index = item.tabIndex ? *item.tabIndex + 1 : 0;
  auto c = call(browser, handler,
                {std::to_string(index), item.url.value_or(""), item.title, item.isPrivate ? "true" : "false"});
  run(std::move(c), [this, browser, handler, id = item.id, index, url = item.url,
                     completion = std::move(completion)](Lines lines) {
    if (lines && !lines->empty() && lines->front() == "true") {
      completion(true);
      return;
    }
    const std::string name(browsers::rawValue(browser));
    if (lines) {
      services_.log->log(handler + " " + name + ": no match for " + id + " (index=" + std::to_string(index) +
                         " url=" + (url ? utf8::prefix(*url, 60) : std::string("-")) + ")");
      services_.mru->noteUnresolvableTab(id, browser);
    } else {
      services_.log->log(handler + " " + name + ": script failed or timed out for " + id);
    }
    completion(false);
  });
}

void AppleScriptBridge::closeExact(const SwitchableItem& item, std::function<void(bool)> completion) {
  if (!item.browser || !item.tabIndex || !item.url || item.url->empty() || !isRunning(*item.browser)) {
    completion(false);
    return;
  }
  auto c = call(*item.browser, "closeexact",
                {std::to_string(*item.tabIndex + 1), *item.url, item.isPrivate ? "true" : "false"});
  run(std::move(c), [completion = std::move(completion)](Lines lines) {
    completion(lines && !lines->empty() && lines->front() == "true");
  });
}

}  // namespace velvix
