#include "Platform/Simulated/SimTabScripts.hpp"

#include <algorithm>
#include <charconv>
#include <functional>

#include "Platform/Privacy.hpp"
#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {
namespace {

std::string joined(const std::vector<std::string>& parts, char separator) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += separator;
    text += parts[i];
  }
  return text;
}

std::string nameOf(const SimWindow& w) {
  return w.scriptName ? *w.scriptName : w.title.value_or("");
}

// AppleScript's "as integer" of the index text; anything unreadable counts as 0.
bool isBlank(const SimTab& t) {
  return t.url.empty() || t.url == "favorites://";
}

int integer(const std::string& text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace

std::vector<SimWindow*> SimTabScripts::windowsOf(const std::string& bundleID) {
  std::vector<SimWindow*> result;
  for (const SimApp* app : desktop_.apps())
    if (app->bundleID == bundleID)
      for (auto number : desktop_.windowsOf(app->pid))
        if (SimWindow* w = desktop_.window(number); w && !w->tabs.empty()) result.push_back(w);
  return result;
}

std::string SimTabScripts::record(Library library, const SimWindow& w, bool withTabCount) const {
  const SimTab& t = w.tabs[w.activeTab];
  const std::string id = std::to_string(w.number);
  const std::string index = std::to_string(w.activeTab + 1);
  if (library == Library::terminal) return joined({t.url, nameOf(w), id}, '\t');
  if (withTabCount) return joined({t.url, t.title, index, std::to_string(w.tabs.size())}, '\t');
  return joined({t.url, t.title, id, index}, '\t');
}

std::vector<std::int64_t> SimTabScripts::privateSafariWindows(const std::vector<SimWindow*>& windows,
                                                              const std::vector<std::string>& titles) const {
  std::vector<std::int64_t> privateIDs;
  std::vector<bool> taken(titles.size(), false);
  for (const SimWindow* w : windows) {
    const std::string name = nameOf(*w);
    for (std::size_t i = 0; i < titles.size(); ++i) {
      if (taken[i]) continue;
      int verdict = titles[i] == name ? 1 : 0;
      if (!verdict && !name.empty())
        for (const char* separator : {", ", " \u2014 ", " \u2013 ", " - "})
          if (titles[i].rfind(name + separator, 0) == 0) verdict = 2;
      if (!verdict) continue;
      taken[i] = true;
      if (verdict == 2) privateIDs.push_back(w->number);
      break;
    }
  }
  return privateIDs;
}

std::string SimTabScripts::bundleFor(const std::string& applicationName) const {
  for (const SimApp* app : desktop_.apps())
    if (app->name == applicationName && app->bundleID) return *app->bundleID;
  for (const InstalledApp& app : desktop_.installed())
    if (app.name == applicationName) return app.bundleID;
  return {};
}

SimTabScripts::Answer SimTabScripts::answer(const SimScriptRequest& request) {
  Answer answer;
  answer.bundleID = bundleFor(request.applicationName);
  bool running = false;
  for (const SimApp* app : desktop_.apps())
    if (!answer.bundleID.empty() && app->bundleID == answer.bundleID) running = true;
  // A script would launch the application; the simulation leaves that to its tests.
  if (!running) {
    answer.error = Error{-600, request.applicationName + " got an error: Application isn\u2019t running."};
    return answer;
  }
  auto decided = desktop_.privacy.automation.find(answer.bundleID);
  if (decided != desktop_.privacy.automation.end() &&
      decided->second == platform::Privacy::kAutomationDenied) {
    answer.error = Error{-1743, "Not authorized to send Apple events to " + request.applicationName + "."};
    return answer;
  }

  auto windows = windowsOf(answer.bundleID);
  const Library library = request.library;
  const bool safari = library == Library::safari;
  // Safari's handlers that scope by privacy see only its normal windows; Chromium's skip incognito ones.
  auto privateIDs =
      safari ? privateSafariWindows(windows, request.windowTitles) : std::vector<std::int64_t>{};
  auto isPrivate = [&](const SimWindow* w) {
    if (library == Library::terminal) return false;
    if (safari) return std::find(privateIDs.begin(), privateIDs.end(), w->number) != privateIDs.end();
    return w->isPrivate;
  };

  std::vector<std::string> lines;
  const std::string& handler = request.handler;
  if (handler == "livetabs") {
    for (SimWindow* w : windows)
      for (const auto& t : w->tabs) lines.push_back(t.url);
  } else if (handler == "windownames") {
    for (SimWindow* w : windows) lines.push_back(nameOf(*w));
  } else if (handler == "seedtabs" || handler == "fronttabs") {
    for (SimWindow* w : windows)
      if (!isPrivate(w)) lines.push_back(record(library, *w, handler == "fronttabs"));
  } else if (handler == "currenttab") {
    if (!windows.empty() && !isPrivate(windows.front())) lines.push_back(record(library, *windows.front()));
  } else if (handler == "resolvetab" || handler == "closetab") {
    const bool privateOnly = request.arguments.size() == 4 && request.arguments[3] == "true";
    std::vector<SimWindow*> allowed;
    for (SimWindow* w : windows)
      if (isPrivate(w) == privateOnly) allowed.push_back(w);
    // Terminal's handlers look at every window; they know no private ones.
    const std::int64_t frontWindow = windows.empty() ? 0 : windows.front()->number;
    lines.push_back(resolve(request, library == Library::terminal ? windows : allowed, frontWindow,
                            handler == "closetab"));
  } else if (handler == "closeidentified" && request.arguments.size() == 2) {
    // Script window ids are window numbers; script tab ids are the extension's tab ids.
    bool closed = false;
    for (SimWindow* w : windows) {
      if (std::to_string(w->number) != request.arguments[0]) continue;
      // Closing a window's last tab closes the window too, so nothing of it is read afterwards.
      for (std::size_t i = 0; i < w->tabs.size(); ++i)
        if (std::to_string(w->tabs[i].id) == request.arguments[1]) {
          desktop_.closeTab(w->number, i);
          closed = true;
          break;
        }
      break;
    }
    lines.push_back(closed ? "true" : "false");
  }
  answer.text = joined(lines, '\n');
  return answer;
}

// The libraries' "closeexact": the first window whose tab at the position shows the address
// (Safari: a blank tab, when there is no address).
bool SimTabScripts::closeExact(int index, const std::string& url, const std::vector<SimWindow*>& windows,
                               bool blankWithoutAddress) {
  if (index <= 0 || (url.empty() && !blankWithoutAddress)) return false;
  const auto i = static_cast<std::size_t>(index) - 1;
  for (SimWindow* w : windows)
    if (i < w->tabs.size() && (url.empty() ? isBlank(w->tabs[i]) : w->tabs[i].url == url)) {
      desktop_.closeTab(w->number, i);
      return true;
    }
  return false;
}

// The passes of the libraries' "resolvetab" and "closetab", over the windows the scope allows.
std::string SimTabScripts::resolve(const SimScriptRequest& request, const std::vector<SimWindow*>& windows,
                                   std::int64_t frontWindow, bool close) {
  if (request.arguments.size() < 4) return "false";
  const int index = integer(request.arguments[0]);
  const std::string& url = request.arguments[1];
  const std::string& title = request.arguments[2];
  const Library library = request.library;
  auto bringForward = [&](SimWindow* w, std::size_t i) {
    const std::int64_t number = w->number;
    if (w->activeTab != i) desktop_.activateTab(number, i);
    desktop_.setMinimized(number, false);
    desktop_.raiseWindow(number);
  };
  if (library == Library::terminal) {
    for (SimWindow* w : windows)
      for (std::size_t i = 0; i < w->tabs.size(); ++i) {
        if (w->tabs[i].url != url) continue;
        if (!close) {
          bringForward(w, i);
          return "true";
        }
        if (w->tabs.size() == 1) {
          desktop_.closeWindow(w->number);
          return "true";
        }
        if (w->tabs[i].busy) return "false";
        desktop_.closeTab(w->number, i);
        return "true";
      }
    return "false";
  }

  using Match = std::function<bool(const SimWindow&, std::size_t)>;
  Match exact = [&](const SimWindow& w, std::size_t i) {
    return i + 1 == static_cast<std::size_t>(index) && w.tabs[i].url == url;
  };
  Match byURL = [&](const SimWindow& w, std::size_t i) { return w.tabs[i].url == url; };
  Match blank = [&](const SimWindow& w, std::size_t i) { return isBlank(w.tabs[i]); };
  Match byTitle = [&](const SimWindow& w, std::size_t i) { return w.tabs[i].title == title; };

  // A hit on the current tab of the application's front window only records that the target is
  // already current (2); any other hit is switched to (1).
  auto pass = [&](const Match& matches) {
    bool wasCurrent = false;
    for (SimWindow* w : windows)
      for (std::size_t i = 0; i < w->tabs.size(); ++i) {
        if (!matches(*w, i)) continue;
        if (w->number == frontWindow && i == w->activeTab) {
          wasCurrent = true;
          continue;
        }
        bringForward(w, i);
        return 1;
      }
    return wasCurrent ? 2 : 0;
  };
  auto closePass = [&](const Match& matches) {
    for (SimWindow* w : windows)
      for (std::size_t i = 0; i < w->tabs.size(); ++i)
        if (matches(*w, i)) {
          desktop_.closeTab(w->number, i);
          return true;
        }
    return false;
  };
  const bool safari = library == Library::safari;

  if (close) {
    // A known position is where the tab was last seen; when it holds another page, nothing closes.
    if (index > 0 && (safari || !url.empty()))
      return closeExact(index, url, windows, safari) ? "true" : "false";
    if (!url.empty() && closePass(byURL)) return "true";
    if (safari && url.empty() && closePass(blank)) return "true";
    return closePass(byTitle) ? "true" : "false";
  }
  if (safari && !url.empty() && index > 0 && pass(exact) > 0) return "true";
  if (!url.empty() && pass(byURL) > 0) return "true";
  if (safari && url.empty() && pass(blank) > 0) return "true";
  return pass(byTitle) > 0 ? "true" : "false";
}

}  // namespace velvix::sim
