#include "Platform/Simulated/SimScriptRunner.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using platform::ScriptLibrary;

namespace {
std::string join(std::initializer_list<std::string> fields) {
  std::string line;
  for (const auto& f : fields) {
    if (&f != fields.begin()) line += '\t';
    line += f;
  }
  return line;
}
}  // namespace

void SimScriptRunner::run(const platform::ScriptCall& call, Completion completion) {
  ++desktop_.scriptRuns;
  if (desktop_.hangingScripts.contains(call.bundleID)) {
    desktop_.loop().postAfter(kTimeLimit, [completion = std::move(completion)] { completion(std::nullopt); });
    return;
  }
  // The script sees the world as it is when it runs, at the end of its latency.
  desktop_.loop().postAfter(desktop_.scriptLatency, [this, call, completion = std::move(completion)] {
    completion(answer(call));
  });
}

std::vector<SimWindow*> SimScriptRunner::windowsOf(const std::string& bundleID) {
  std::vector<SimWindow*> result;
  for (const SimApp* app : desktop_.apps())
    if (app->bundleID == bundleID)
      for (auto number : desktop_.windowsOf(app->pid))
        if (SimWindow* w = desktop_.window(number); w && !w->tabs.empty()) result.push_back(w);
  return result;
}

// Safari's scripts cannot see which windows are private; they are told by the Accessibility
// titles the caller hands over. Here the window's own flag stands for that pairing.
bool SimScriptRunner::allowed(const platform::ScriptCall& call, const SimWindow& window, bool wantPrivate) const {
  if (call.library == ScriptLibrary::safari && call.windowTitles.empty()) return !wantPrivate;
  return window.isPrivate == wantPrivate;
}

std::optional<std::vector<std::string>> SimScriptRunner::answer(const platform::ScriptCall& call) {
  if (desktop_.failingScripts.contains(call.bundleID)) return std::nullopt;
  bool running = false;
  for (const SimApp* app : desktop_.apps())
    if (app->bundleID == call.bundleID) running = true;
  if (!running) return std::nullopt;  // the script would launch it; the simulation refuses

  const bool terminal = call.library == ScriptLibrary::terminal;
  std::vector<std::string> lines;
  auto windows = windowsOf(call.bundleID);
  if (call.handler == "livetabs") {
    for (SimWindow* w : windows)
      for (const auto& t : w->tabs) lines.push_back(t.url);
  } else if (call.handler == "windownames") {
    for (SimWindow* w : windows) lines.push_back(w->scriptName ? *w->scriptName : w->title.value_or(""));
  } else if (call.handler == "seedtabs") {
    for (SimWindow* w : windows) {
      if (w->isPrivate) continue;
      const SimTab& t = w->tabs[w->activeTab];
      const std::string id = std::to_string(w->number);
      lines.push_back(terminal ? join({t.url, w->title.value_or(""), id})
                               : join({t.url, t.title, id, std::to_string(w->activeTab + 1)}));
    }
  } else if (call.handler == "currenttab") {
    if (windows.empty() || windows.front()->isPrivate) return lines;
    SimWindow* w = windows.front();
    const SimTab& t = w->tabs[w->activeTab];
    const std::string id = std::to_string(w->number);
    lines.push_back(terminal ? join({t.url, w->title.value_or(""), id})
                             : join({t.url, t.title, id, std::to_string(w->activeTab + 1)}));
  } else if (call.handler == "fronttabs") {
    for (SimWindow* w : windows) {
      if (w->isPrivate) continue;
      const SimTab& t = w->tabs[w->activeTab];
      lines.push_back(join({t.url, t.title, std::to_string(w->activeTab + 1), std::to_string(w->tabs.size())}));
    }
  } else if (call.handler == "closeexact") {
    lines.push_back(closeExact(call));
  } else if (call.handler == "resolvetab" || call.handler == "closetab") {
    lines.push_back(resolveTab(call, call.handler == "closetab"));
  } else {
    return std::nullopt;  // no such handler: the script fails to compile
  }
  return lines;
}

// Arguments: 1-based index as text, URL (tty for Terminal), title, "true"/"false" for private.
// Passes as the libraries make them: exact position and URL, then URL, then title.
std::string SimScriptRunner::resolveTab(const platform::ScriptCall& call, bool close) {
  if (call.arguments.size() < 4) return "false";
  const int index = std::atoi(call.arguments[0].c_str());
  const std::string& url = call.arguments[1];
  const std::string& title = call.arguments[2];
  const bool wantPrivate = call.arguments[3] == "true" && call.library != ScriptLibrary::terminal;
  auto windows = windowsOf(call.bundleID);
  auto act = [&](SimWindow* w, std::size_t i) {
    const std::int64_t number = w->number;
    if (close) {
      if (call.library == ScriptLibrary::terminal && w->tabs.size() > 1 && w->tabs[i].busy) return false;
      desktop_.closeTab(number, i);
      return true;
    }
    desktop_.activateTab(number, i);
    desktop_.setMinimized(number, false);
    desktop_.raiseWindow(number);
    return true;
  };
  auto pass = [&](auto matches) {
    for (SimWindow* w : windows) {
      if (!allowed(call, *w, wantPrivate)) continue;
      for (std::size_t i = 0; i < w->tabs.size(); ++i)
        if (matches(*w, i)) return act(w, i);
    }
    return false;
  };
  if (!url.empty() && index > 0 && call.library != ScriptLibrary::terminal &&
      pass([&](const SimWindow& w, std::size_t i) { return i + 1 == static_cast<std::size_t>(index) && w.tabs[i].url == url; }))
    return "true";
  if (!url.empty() && pass([&](const SimWindow& w, std::size_t i) { return w.tabs[i].url == url; })) return "true";
  if (call.library != ScriptLibrary::terminal && !title.empty() &&
      pass([&](const SimWindow& w, std::size_t i) { return w.tabs[i].title == title; }))
    return "true";
  return "false";
}

// Arguments: 1-based index as text, URL, "true"/"false" for private. Only the tab at that
// position with exactly that URL, in the first window of the same private state that has it.
std::string SimScriptRunner::closeExact(const platform::ScriptCall& call) {
  if (call.arguments.size() < 3) return "false";
  const std::size_t index = static_cast<std::size_t>(std::atoi(call.arguments[0].c_str()));
  const bool wantPrivate = call.arguments[2] == "true";
  for (SimWindow* w : windowsOf(call.bundleID))
    if (w->isPrivate == wantPrivate && index >= 1 && index <= w->tabs.size() &&
        w->tabs[index - 1].url == call.arguments[1]) {
      desktop_.closeTab(w->number, index - 1);
      return "true";
    }
  return "false";
}

}  // namespace velvix::sim
