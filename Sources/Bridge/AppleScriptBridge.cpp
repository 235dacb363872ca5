#include "Bridge/AppleScriptBridge.hpp"

#include <charconv>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptLibrary.hpp"
#include "Bridge/AppleScriptOutput.hpp"
#include "Bridge/AppleScriptTrailers.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Bridge/SafariScriptHost.hpp"
#include "Core/MRUManager.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/Utf8.hpp"
#include "Platform/Workspace.hpp"
#include "Support/DebugLog.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

using Lines = std::optional<std::vector<std::string>>;

AppleScriptBridge::AppleScriptBridge(Collaborators collaborators)
    : runner_(collaborators.scriptRunner),
      safariHost_(collaborators.safariHost),
      workspace_(collaborators.workspace),
      runningApps_(collaborators.runningApps),
      ax_(collaborators.ax),
      permissions_(collaborators.permissions),
      browserBridge_(collaborators.browserBridge),
      mru_(collaborators.mru),
      loop_(collaborators.loop),
      log_(collaborators.log) {}

std::vector<std::string> AppleScriptBridge::splitFields(const std::string& line) {
  return AppleScriptOutput::fields(line);
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
  return runningApps_.first(std::string(browsers::bundleID(browser))).has_value();
}

void AppleScriptBridge::run(const std::string& source, const std::string& trailer,
                            std::function<void(Lines)> completion) {
  runner_.run(AppleScriptTrailers::assemble(source, trailer),
              [loop = &loop_, log = &log_, watch = alive_.watch(),
               completion = std::move(completion)](platform::ScriptOutcome outcome) {
                auto reading = AppleScriptOutput::read(outcome);
                loop->post([watch, log, completion, reading = std::move(reading)] {
                  if (watch.expired()) return;
                  if (reading.failure) log->log(*reading.failure);
                  completion(reading.lines);
                });
              });
}

std::string AppleScriptBridge::scoped(const std::string& trailer, Browser browser) const {
  if (browser != Browser::safari) return trailer;
  auto safari = runningApps_.first(std::string(browsers::bundleID(browser)));
  if (!safari) return trailer;
  auto titles = ax_.allWindowTitles(safari->pid);
  if (titles.empty()) return trailer;
  return AppleScriptTrailers::windowTitlesLine(titles) + "\n" + trailer;
}

void AppleScriptBridge::runLibrary(Browser browser, const std::string& trailer,
                                   std::function<void(Lines)> completion) {
  run(AppleScriptLibrary::forBrowser(browser), trailer, std::move(completion));
}

void AppleScriptBridge::seed(Browser browser) {
  if (!isRunning(browser)) return;
  if (browser != Browser::safari) {
    seedNow(browser);
    return;
  }
  // A Safari extension that reports within this time makes the scripted seed unnecessary.
  pendingSeeds_.push_back(loop_.after(kSafariSeedDelay, [this] {
    if (!isRunning(Browser::safari)) return;
    if (permissions_.automationStatus(Browser::safari) != platform::Privacy::kAutomationGranted) return;
    auto last = browserBridge_.lastSafariEventAt();
    if (last && loop_.uptime() - *last < kSafariExtensionFresh) return;
    seedNow(Browser::safari);
  }));
}

void AppleScriptBridge::seedNow(Browser browser) {
  auto front = workspace_.frontmostApplication();
  const bool frontmost = front && front->bundleIdentifier == browsers::bundleID(browser);
  runLibrary(browser, scoped(AppleScriptTrailers::seeding(), browser),
             [this, browser, frontmost](Lines lines) {
               if (!lines) return;
               const double now = loop_.now();
               int touched = 0;
               for (std::size_t k = 0; k < lines->size(); ++k) {
                 auto fields = splitFields((*lines)[k]);
                 if (fields.size() < 3) continue;
                 ++touched;
                 mru_.touchScriptedTab(browser, fields[0], fields[1], "as:" + fields[2], position(fields),
                                       now - 0.5 * touched, !(k == 0 && frontmost));
               }
             });
}

void AppleScriptBridge::currentTabAsync(Browser browser, std::function<void(CurrentTab)> completion) {
  if (!isRunning(browser)) return;
  runLibrary(browser, scoped(AppleScriptTrailers::currentTab(), browser),
             [completion = std::move(completion)](Lines lines) {
               if (!lines || lines->empty()) return;
               auto fields = splitFields(lines->front());
               if (fields.size() < 3) return;
               completion({fields[0], fields[1], "as:" + fields[2], position(fields)});
             });
}

void AppleScriptBridge::liveTabKeysAsync(Browser browser, std::function<void(Lines)> completion) {
  run(AppleScriptTrailers::liveTabs(browsers::appleScriptName(browser), browser == Browser::terminal), "",
      std::move(completion));
}

void AppleScriptBridge::frontTabsAsync(std::function<void(std::vector<FrontTab>)> completion) {
  if (!isRunning(Browser::safari) ||
      permissions_.automationStatus(Browser::safari) != platform::Privacy::kAutomationGranted) {
    completion({});
    return;
  }
  runLibrary(Browser::safari, scoped(AppleScriptTrailers::frontTabs(), Browser::safari),
             [completion = std::move(completion)](Lines lines) {
               completion(lines ? frontTabs(*lines) : std::vector<FrontTab>{});
             });
}

std::vector<AppleScriptBridge::FrontTab> AppleScriptBridge::frontTabs(const std::vector<std::string>& lines) {
  auto number = [](const std::string& text, int& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
  };
  std::vector<FrontTab> tabs;
  for (const auto& line : lines) {
    auto fields = splitFields(line);
    int position = 0, count = 0;
    if (fields.size() < 4 || !number(fields[2], position) || !number(fields[3], count)) continue;
    tabs.push_back({std::move(fields[0]), std::move(fields[1]), position, count});
  }
  return tabs;
}

void AppleScriptBridge::scriptedWindowNamesAsync(Browser browser,
                                                 std::function<void(Lines, bool fresh)> completion) {
  if (browser != Browser::safari || !isRunning(browser)) {
    completion(std::vector<std::string>{}, true);
    return;
  }
  auto cached = windowNames_.find(browser);
  if (cached != windowNames_.end() && loop_.uptime() - cached->second.at < kWindowNamesFresh) {
    completion(cached->second.names, false);
    return;
  }
  if (windowNamesInFlight_.contains(browser)) {
    completion(cached != windowNames_.end() ? Lines(cached->second.names) : std::nullopt, false);
    return;
  }
  windowNamesInFlight_.insert(browser);
  runLibrary(browser, AppleScriptTrailers::windowNames(),
             [this, browser, completion = std::move(completion)](Lines lines) {
               windowNamesInFlight_.erase(browser);
               if (lines) {
                 windowNames_[browser] = {*lines, loop_.uptime()};
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
  const std::string url = item.url.value_or("");
  auto finish = [this, browser, handler, id = item.id, index, itemURL = item.url,
                 completion = std::move(completion)](Lines lines) {
    finishResolve(browser, handler, id, index, itemURL, lines, completion);
  };
  if (browser == Browser::safari && !safariHost_.isUnusable() && !safariHost_.isBusy()) {
    std::vector<std::string> titles;
    if (auto safari = runningApps_.first(std::string(browsers::bundleID(browser))))
      titles = ax_.allWindowTitles(safari->pid);
    safariHost_.resolve(handler, titles, index, url, item.title, item.isPrivate,
                        [watch = alive_.watch(), finish = std::move(finish)](Lines lines) {
                          if (!watch.expired()) finish(lines);
                        });
    return;
  }
  runLibrary(browser,
             scoped(AppleScriptTrailers::resolve(handler, index, url, item.title, item.isPrivate), browser),
             std::move(finish));
}

void AppleScriptBridge::finishResolve(Browser browser, const std::string& handler, const std::string& id,
                                      std::int64_t index, const std::optional<std::string>& url,
                                      const Lines& lines, const std::function<void(bool)>& completion) {
  if (lines && !lines->empty() && lines->front() == "true") {
    completion(true);
    return;
  }
  const std::string name(browsers::rawValue(browser));
  // A close with a known position tries only that position (see the libraries' "closetab").
  const bool atPositionOnly = handler == "closetab" && index > 0 && browser != Browser::terminal &&
                              (browser == Browser::safari || (url && !url->empty()));
  if (lines && atPositionOnly) {
    log_.log(handler + " " + name + ": position " + std::to_string(index) + " no longer holds " + id +
             " (url=" + (url && !url->empty() ? utf8::prefix(*url, 60) : std::string("-")) + "); left open");
    mru_.noteUnresolvableTab(id, browser);
  } else if (lines) {
    log_.log(handler + " " + name + ": no match for " + id + " (index=" + std::to_string(index) +
             " url=" + (url ? utf8::prefix(*url, 60) : std::string("-")) + ")");
    mru_.noteUnresolvableTab(id, browser);
  } else {
    log_.log(handler + " " + name + ": script failed or timed out for " + id);
  }
  completion(false);
}

void AppleScriptBridge::closeIdentified(const SwitchableItem& item, std::function<void(bool)> completion) {
  std::int64_t windowID = 0;
  const std::string window = item.windowID.value_or("");
  auto [end, error] = std::from_chars(window.data(), window.data() + window.size(), windowID);
  const bool identified = !window.empty() && error == std::errc() && end == window.data() + window.size();
  if (!identified || !item.tabID || !item.browser || !browsers::isChromiumFamily(*item.browser) ||
      !isRunning(*item.browser)) {
    completion(false);
    return;
  }
  runLibrary(*item.browser, AppleScriptTrailers::closeIdentified(windowID, *item.tabID),
             [completion = std::move(completion)](Lines lines) {
               completion(lines && !lines->empty() && lines->front() == "true");
             });
}

}  // namespace velvix
