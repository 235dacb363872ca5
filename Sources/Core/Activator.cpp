#include "Core/Activator.hpp"

#include <charconv>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/AppleScriptBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Bridge/ExtensionCommand.hpp"
#include "Core/AppMonitor.hpp"
#include "Core/MRUManager.hpp"
#include "Core/WindowList.hpp"
#include "Platform/Application.hpp"
#include "Platform/InputState.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/DebugLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {

using platform::Pid;
using platform::RunningApplication;
using Items = std::shared_ptr<const std::vector<SwitchableItem>>;

namespace {

// A window id as the extensions send it: a non-empty decimal integer, an optional sign allowed.
std::optional<std::int64_t> decimalWindowID(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  const char* first = text->data();
  const char* last = first + text->size();
  if (*first == '+') ++first;
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return std::nullopt;
  return value;
}

// The part of an editor's title after its last slash (a trailing slash ignored).
std::string lastPathComponent(std::string title) {
  while (title.size() > 1 && title.back() == '/') title.pop_back();
  auto slash = title.rfind('/');
  return slash == std::string::npos ? title : title.substr(slash + 1);
}

}  // namespace

Activator::Activator(const Collaborators& c)
    : workspace_(c.workspace),
      runningApps_(c.runningApps),
      windowList_(c.windowList),
      ax_(c.ax),
      application_(c.application),
      browserBridge_(c.browserBridge),
      appleScripts_(c.appleScripts),
      input_(c.input),
      mru_(c.mru),
      appMonitor_(c.appMonitor),
      loop_(c.loop),
      log_(c.log) {}

bool Activator::isOwnBundle(const std::string& bundleID) const {
  return bundleID == workspace_.ownBundleIdentifier();
}

void Activator::later(double delay, std::function<void()> step) {
  loop_.postAfter(delay, [this, watch = alive_.watch(), generation = generation_, step = std::move(step)] {
    if (!watch.expired() && generation == generation_) step();
  });
}

void Activator::activate(const std::vector<SwitchableItem>& items, std::size_t startingAt) {
  if (items.empty()) return;
  ++generation_;
  auto working = std::make_shared<std::vector<SwitchableItem>>();
  for (const auto& item : items)
    if (!(isOwnBundle(item.bundleID) && !item.windowNumber)) working->push_back(item);
  if (working->empty()) return;
  const std::string& chosen = items[startingAt % items.size()].id;
  std::size_t start = 0;
  for (std::size_t i = 0; i < working->size(); ++i)
    if ((*working)[i].id == chosen) {
      start = i;
      break;
    }
  tryCandidate(working, start, 0, generation_);
}

void Activator::tryCandidate(Items items, std::size_t start, std::size_t offset, std::uint64_t generation) {
  if (generation != generation_) return;
  if (offset >= items->size()) return;  // every entry has been tried
  if (offset >= static_cast<std::size_t>(kMaxCandidates)) {
    const std::string n = std::to_string(offset);
    log_.log("activate: gave up after " + n +
             " candidates \u2014 the selection and its neighbours all failed at once, which is a hiccup, "
             "not " +
             n + " dead windows");
    return;
  }
  const SwitchableItem& candidate = (*items)[(start + offset) % items->size()];
  if (candidate.kind == ItemKind::app) {
    judge(items, start, offset, generation, attemptApp(candidate));
    return;
  }
  attemptTab(candidate, [this, watch = alive_.watch(), items, start, offset, generation](bool ok) {
    if (!watch.expired() && generation == generation_) judge(items, start, offset, generation, ok);
  });
}

void Activator::judge(Items items, std::size_t start, std::size_t offset, std::uint64_t generation, bool ok) {
  const SwitchableItem& candidate = (*items)[(start + offset) % items->size()];
  if (ok) {
    mru_.markActivated(candidate.id);
    // The monitor must not record the activation notification this causes as a new activation.
    appMonitor_.autoTrackSuppressedUntil = loop_.uptime() + AppMonitor::kSuppressionAfterActivation;
    return;
  }
  log_.log("activate: " + candidate.id + " failed (" + diagnosis(candidate) + "), kept");
  tryCandidate(items, start, offset + 1, generation);
}

void Activator::activateApplication(Pid pid) {
  workspace_.activate(pid);
  later(kReactivateAfter, [this, pid] {
    if (!workspace_.isActive(pid)) workspace_.activate(pid);
  });
}

std::optional<RunningApplication> Activator::applicationOf(const SwitchableItem& item) const {
  if (item.pid)
    if (auto app = workspace_.application(*item.pid)) return app;
  return runningApps_.first(item.bundleID);
}

std::optional<RunningApplication> Activator::runningBrowser(Browser browser) const {
  return runningApps_.first(std::string(browsers::bundleID(browser)));
}

bool Activator::attemptApp(const SwitchableItem& item) {
  auto app = applicationOf(item);
  if (!app) return false;
  if (!item.windowNumber) {
    activateApplication(app->pid);
    return true;
  }
  const std::int64_t number = *item.windowNumber;
  if (isOwnBundle(item.bundleID)) return raiseOwnWindow(number, *app);

  const auto outcome = ax_.raiseWindow(number, item.title, app->pid);
  if (outcome != AXWindowBridge::RaiseOutcome::raised) {
    std::optional<WindowList::Info> listed;
    for (auto& w : windowList_.realWindows(false))
      if (w.windowNumber == number) listed = w;
    if (!listed || (outcome == AXWindowBridge::RaiseOutcome::missing && !listed->isOnScreen)) {
      log_.log("activate: " + item.id + " has no such window, falling through");
      return false;
    }
  }
  activateApplication(app->pid);

  // Re-raise a few times during the next second, until the user clicks (or, once the window was
  // seen in front, types).
  const double started = loop_.uptime();
  auto frontSeen = std::make_shared<bool>(false);
  for (double delay : {0.2, 0.5, 0.9})
    later(delay, [this, pid = app->pid, number, frontSeen, started, title = item.title] {
      if (auto front = windowList_.frontWindow(pid); front && front->windowNumber == number)
        *frontSeen = true;
      if (!userActed(started, *frontSeen)) ax_.raiseWindow(number, title, pid);
    });
  return true;
}

bool Activator::raiseOwnWindow(std::int64_t number, const RunningApplication& app) {
  platform::Application& self = application_;
  std::optional<platform::Application::OwnWindow> window;
  for (const auto& w : self.windows())
    if (w.number == number) window = w;
  if (!window) return false;
  if (window->miniaturized) self.deminiaturize(number);
  self.activate(true);
  self.makeKeyAndOrderFront(number);
  activateApplication(app.pid);
  const double started = loop_.uptime();
  for (double delay : {0.2, 0.5})
    later(delay, [this, number, started] {
      for (const auto& w : application_.windows())
        if (w.number == number && w.visible && !userActed(started, true))
          application_.makeKeyAndOrderFront(number);
    });
  return true;
}

void Activator::raiseEditorWindow(Browser browser, const std::string& title) {
  auto app = runningBrowser(browser);
  if (!app) return;
  const std::string part = lastPathComponent(title);
  for (double delay : {0.12, 0.35, 0.7})
    later(delay, [this, part, pid = app->pid] { ax_.raiseWindow(part, pid); });
}

void Activator::attemptTab(const SwitchableItem& item, std::function<void(bool)> completion) {
  if (!item.browser) return completion(false);
  const Browser browser = *item.browser;
  auto app = runningBrowser(browser);
  if (!app) return completion(false);

  if (item.url == MRUManager::kAuxPlaceholderURL) {
    appleScripts_.scriptedWindowNamesAsync(
        browser, [this, watch = alive_.watch(), generation = generation_, item, pid = app->pid, completion](
                     std::optional<std::vector<std::string>> names, bool) {
          if (watch.expired() || generation != generation_) return completion(false);
          const auto scripted = names.value_or(std::vector<std::string>{});
          if (!ax_.raiseAuxWindow(item.title, scripted, pid)) return completion(false);
          activateApplication(pid);
          const double started = loop_.uptime();
          later(0.35, [this, item, scripted, pid, started] {
            if (!userActed(started, false)) ax_.raiseAuxWindow(item.title, scripted, pid);
          });
          completion(true);
        });
    return;
  }

  // The command goes only to the connection registered under the entry's own session.
  auto sendActivate = [&]() -> bool {
    auto windowID = decimalWindowID(item.windowID);
    if (!item.tabID || !windowID || !item.session) return false;
    const auto& clients = browserBridge_.chromiumClients();
    auto perBrowser = clients.find(browser);
    if (perBrowser == clients.end()) return false;
    auto client = perBrowser->second.find(*item.session);
    if (client == perBrowser->second.end()) return false;
    return client->second->sendLine(ExtensionCommand::activate(*item.tabID, *windowID));
  };

  if (browsers::isEditor(browser)) {
    if (!sendActivate()) {
      log_.log("activate: " + item.id + " \u2014 no editor host to ask");
      return completion(false);
    }
    activateApplication(app->pid);
    raiseEditorWindow(browser, item.title);
    return completion(true);
  }
  if (!browsers::isChromiumFamily(browser)) return attemptAppleEvents(item, std::move(completion));

  if (!item.tabID || !decimalWindowID(item.windowID)) {
    log_.log("activate: " + item.id + " \u2014 no tabID/windowID; falling back to Apple Events");
    return attemptAppleEvents(item, std::move(completion));
  }
  if (sendActivate()) {
    // The extension switches the tab; its "activated" report moves the tab to the front.
    if (auto again = runningBrowser(browser)) activateApplication(again->pid);
    return completion(true);
  }
  log_.log("activate: " + item.id + " \u2014 extension declined tab " + std::to_string(*item.tabID) +
           " in window " + *item.windowID + "; falling back to Apple Events");
  attemptAppleEvents(item, std::move(completion));
}

void Activator::attemptAppleEvents(const SwitchableItem& item, std::function<void(bool)> completion) {
  const Browser browser = *item.browser;
  if (auto app = runningBrowser(browser)) activateApplication(app->pid);
  appleScripts_.resolve(
      item, "resolvetab",
      [this, watch = alive_.watch(), generation = generation_, browser, completion](bool ok) {
        if (watch.expired() || generation != generation_)
          return;  // neither judged nor followed by a neighbour
        if (!ok) return completion(false);
        auto app = runningBrowser(browser);
        if (app) activateApplication(app->pid);
        auto raiseScripted = [this, browser] {
          auto running = runningBrowser(browser);
          auto names = appleScripts_.cachedScriptedWindowNames(browser);
          if (running && !names.empty()) ax_.raiseScriptedWindow(names, running->pid);
        };
        raiseScripted();
        const double started = loop_.uptime();
        later(0.35, [this, raiseScripted, started] {
          if (!userActed(started, false)) raiseScripted();
        });
        completion(true);
      });
}

bool Activator::userActed(double since, bool includingKeys) const {
  using T = platform::InputEventType;
  const double elapsed = loop_.uptime() - since;
  for (T type : {T::leftMouseDown, T::rightMouseDown, T::keyDown}) {
    if (type == T::keyDown && !includingKeys) continue;
    if (input_.secondsSinceLastEvent(type) < elapsed) return true;
  }
  return false;
}

std::string Activator::diagnosis(const SwitchableItem& item) const {
  if (item.kind == ItemKind::tab) {
    if (!item.browser) return "no browser";
    if (runningBrowser(*item.browser)) return "tab could not be resolved";
    return std::string(browsers::rawValue(*item.browser)) + " absent from the running-app list";
  }
  if (!applicationOf(item)) return "app absent from the running-app list";
  if (!item.windowNumber) return "activation declined";
  const std::string number = std::to_string(*item.windowNumber);
  if (!windowList_.liveWindowNumbers().contains(*item.windowNumber))
    return "window " + number + " absent from the window list";
  return "window " + number + " is listed but refused the raise";
}

}  // namespace velvix
