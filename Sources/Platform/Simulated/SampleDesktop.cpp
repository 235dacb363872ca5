#include "Platform/Simulated/SampleDesktop.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

#include "Platform/FileURL.hpp"
#include "Platform/JsonNesting.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDock.hpp"

namespace velvix::sim::SampleDesktop {
namespace {

using Json = nlohmann::json;

const char* const kBuiltIn = R"json({
  "displays": [{"frame": [0, 0, 1440, 900], "scale": 2, "spaces": [1, 2], "current": 1}],
  "apps": [
    {"bundleID": "com.apple.finder", "name": "Finder",
     "windows": [{"title": "Downloads", "frame": [60, 80, 760, 480]}]},
    {"bundleID": "com.apple.mail", "name": "Mail", "badge": "3",
     "windows": [{"title": "Inbox", "frame": [200, 60, 1000, 700]}]},
    {"bundleID": "com.apple.TextEdit", "name": "TextEdit",
     "windows": [{"title": "Notes.txt", "frame": [300, 200, 600, 500], "minimized": true},
                 {"title": "Letter.rtf", "frame": [420, 160, 640, 560]}]},
    {"bundleID": "com.example.Calendar", "name": "Calendar",
     "windows": [{"title": "December", "frame": [240, 120, 900, 620], "space": 2}]},
    {"bundleID": "com.apple.Terminal", "name": "Terminal", "automation": "granted",
     "windows": [{"title": "zsh", "frame": [120, 420, 720, 420],
                  "tabs": [{"title": "zsh", "url": "/dev/ttys001"}, {"title": "make", "url": "/dev/ttys002"}]}]},
    {"bundleID": "com.google.Chrome", "name": "Google Chrome", "automation": "granted",
     "windows": [{"title": "Release notes", "frame": [160, 100, 1100, 720],
                  "tabs": [{"title": "Release notes", "url": "https://example.org/releases"},
                           {"title": "Changelog", "url": "https://example.org/changelog"}]},
                 {"title": "Project board", "frame": [100, 60, 1180, 760],
                  "tabs": [{"title": "Project board", "url": "https://board.example.org/"},
                           {"title": "Inbox (3)", "url": "https://mail.example.org/"},
                           {"title": "Docs", "url": "https://docs.example.org/"}]}]}
  ],
  "dock": {"folders": ["Downloads"], "trash": true},
  "frontmost": "com.google.Chrome"
})json";

// Coordinates and sizes beyond this are no desktop's; they would only overflow the drawing.
constexpr double kMaxCoordinate = 1e6;
constexpr const char* kSampleTerminalText =
    "user@simulated ~ % ls\nDocuments  Projects  notes.txt\nuser@simulated ~ % git commit -m \"first draft\"";

std::optional<Rect> rect(const Json& value) {
  if (!value.is_array() || value.size() != 4) return std::nullopt;
  for (const auto& v : value)
    if (!v.is_number() || !(std::abs(v.get<double>()) <= kMaxCoordinate)) return std::nullopt;
  if (value[2].get<double>() < 0 || value[3].get<double>() < 0) return std::nullopt;
  return Rect{value[0].get<double>(), value[1].get<double>(), value[2].get<double>(), value[3].get<double>()};
}

std::string text(const Json& object, const char* key, std::string fallback = {}) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : fallback;
}

// A key that is absent, or present with a value that passes `valid`.
template <typename Valid>
bool optional(const Json& object, const char* key, Valid valid) {
  auto it = object.find(key);
  return it == object.end() || valid(*it);
}
bool isString(const Json& v) {
  return v.is_string();
}
bool isBoolean(const Json& v) {
  return v.is_boolean();
}
bool isCount(const Json& v) {
  return v.is_number_unsigned();
}

std::optional<std::string> checkDisplay(const Json& d) {
  if (!d.is_object() || !rect(d.value("frame", Json())))
    return "every display needs a \"frame\" of four numbers";
  if (!optional(d, "scale",
                [](const Json& v) { return v.is_number() && v.get<double>() > 0 && v.get<double>() <= 16; }))
    return "a display's \"scale\" must be a number from above 0 to 16";
  if (!optional(d, "spaces",
                [](const Json& v) { return v.is_array() && std::all_of(v.begin(), v.end(), isCount); }))
    return "a display's \"spaces\" must be a list of Space numbers";
  if (!optional(d, "current", isCount)) return "a display's \"current\" must be a Space number";
  return std::nullopt;
}

std::optional<std::string> checkWindow(const Json& w, const std::string& owner) {
  if (!w.is_object() || !rect(w.value("frame", Json())))
    return "every window of " + owner + " needs a \"frame\" of four numbers";
  const bool typed = optional(w, "title", isString) && optional(w, "minimized", isBoolean) &&
                     optional(w, "private", isBoolean) && optional(w, "space", isCount);
  if (!typed)
    return "a window of " + owner +
           " has a \"title\", \"minimized\", \"private\" or \"space\" of the wrong type";
  if (!optional(w, "tabs", [](const Json& tabs) {
        return tabs.is_array() && std::all_of(tabs.begin(), tabs.end(), [](const Json& t) {
                 return t.is_object() && optional(t, "title", isString) && optional(t, "url", isString);
               });
      }))
    return "the \"tabs\" of a window of " + owner + " must be a list of {\"title\", \"url\"} texts";
  const std::size_t tabs = w.contains("tabs") ? w["tabs"].size() : 0;
  if (!optional(w, "active", [&](const Json& v) { return isCount(v) && v.get<std::uint64_t>() < tabs; }))
    return "the \"active\" tab of a window of " + owner + " must be the index of one of its tabs";
  return std::nullopt;
}

// Checks every value of the whole document before anything is added, so a bad file changes
// nothing and the loading below never meets a value of the wrong type.
std::optional<std::string> check(const Json& doc) {
  if (!doc.is_object()) return "the document is not a JSON object";
  if (doc.contains("displays")) {
    if (!doc["displays"].is_array() || doc["displays"].empty())
      return "\"displays\" must be a non-empty list";
    for (const auto& d : doc["displays"])
      if (auto problem = checkDisplay(d)) return problem;
  }
  if (!optional(doc, "frontmost", isString)) return "\"frontmost\" must be a bundle identifier";
  if (!doc.contains("apps") || !doc["apps"].is_array()) return "\"apps\" must be a list";
  for (const auto& app : doc["apps"]) {
    if (!app.is_object() || text(app, "bundleID").empty()) return "every application needs a \"bundleID\"";
    const std::string owner = text(app, "bundleID");
    if (!optional(app, "name", isString) || !optional(app, "badge", isString) ||
        !optional(app, "automation", isString))
      return "the \"name\", \"badge\" and \"automation\" of " + owner + " must be texts";
    if (app.contains("windows") && !app["windows"].is_array())
      return "\"windows\" of " + owner + " must be a list";
    for (const auto& w : app.value("windows", Json::array()))
      if (auto problem = checkWindow(w, owner)) return problem;
  }
  if (!optional(doc, "dock", [](const Json& d) {
        return d.is_object() &&
               optional(
                   d, "folders",
                   [](const Json& f) { return f.is_array() && std::all_of(f.begin(), f.end(), isString); }) &&
               optional(d, "trash", isBoolean) && optional(d, "display", isCount);
      }))
    return "\"dock\" must be {\"folders\": [names], \"trash\": true or false, \"display\": a display's "
           "index}";
  return std::nullopt;
}

// Deeper documents are no desktop, and copying their values would exhaust the stack.
constexpr int kMaxNestingDepth = 16;

Json parse(const std::string& document) {
  if (platform::jsonNestingDepth(document) > kMaxNestingDepth) return Json(Json::value_t::discarded);
  return Json::parse(document, nullptr, false);
}

}  // namespace

const std::string& builtIn() {
  static const std::string document = kBuiltIn;
  return document;
}

std::optional<std::string> load(SimDesktop& desktop, const std::string& document) {
  const Json doc = parse(document);
  if (doc.is_discarded()) return std::string("the document is not valid JSON (or nests too deeply)");
  if (auto problem = check(doc)) return problem;

  if (doc.contains("displays")) {
    auto& displays = desktop.displays();
    displays.clear();
    std::uint32_t id = 1;
    for (const auto& d : doc["displays"]) {
      SimDisplay display;
      display.id = id++;
      display.frame = *rect(d["frame"]);
      display.backingScale = d.value("scale", 2.0);
      display.spaces.clear();
      for (const auto& s : d.value("spaces", Json::array({1})))
        if (s.is_number_unsigned()) display.spaces.push_back(s.get<std::uint64_t>());
      if (display.spaces.empty()) display.spaces.push_back(1);
      display.currentSpace = d.value("current", display.spaces.front());
      displays.push_back(display);
    }
  }

  SimDock& dock = desktop.dock();
  dock.start();
  struct Pending {
    platform::Pid pid;
    Json window;
  };
  std::vector<Pending> windows;  // in document order: back to front
  std::optional<platform::Pid> frontmost;
  for (const auto& app : doc["apps"]) {
    const std::string bundleID = text(app, "bundleID");
    auto pid = desktop.launch({.bundleID = bundleID, .name = text(app, "name", bundleID)});
    // Running applications are installed ones: their bundles can be found and opened again.
    desktop.install(
        {.bundleID = bundleID, .name = text(app, "name", bundleID), .path = *desktop.app(pid)->bundlePath});
    if (bundleID == text(doc, "frontmost")) frontmost = pid;
    // Whether this program may script the application (Apple Events); undecided when absent.
    const std::string automation = text(app, "automation");
    if (automation == "granted") desktop.privacy.automation[bundleID] = platform::Privacy::kAutomationGranted;
    if (automation == "denied") desktop.privacy.automation[bundleID] = platform::Privacy::kAutomationDenied;
    if (app.contains("badge") && app["badge"].is_string()) {
      dock.addApplication(pid, app["badge"].get<std::string>());
    } else {
      dock.addApplication(pid);
    }
    for (const auto& w : app.value("windows", Json::array())) windows.push_back({pid, w});
  }
  for (const auto& [pid, w] : windows) {
    WindowSpec spec;
    spec.title = text(w, "title");
    spec.bounds = *rect(w["frame"]);
    spec.minimized = w.value("minimized", false);
    if (w.contains("space") && w["space"].is_number_unsigned()) spec.space = w["space"].get<std::uint64_t>();
    auto number = desktop.addWindow(pid, spec);
    desktop.window(number)->isPrivate = w.value("private", false);
    for (const auto& t : w.value("tabs", Json::array()))
      if (t.is_object()) desktop.addTab(number, {.title = text(t, "title"), .url = text(t, "url")}, false);
    if (w.contains("active") && w["active"].is_number_unsigned())
      desktop.activateTab(number, w["active"].get<std::size_t>());
    // A terminal window (its tabs are ttys) shows its text to Accessibility, for the editing keys.
    if (const SimWindow* made = std::as_const(desktop).window(number);
        !made->tabs.empty() && made->tabs.front().url.starts_with("/dev/"))
      desktop.window(number)->textArea = SimTextArea{.text = kSampleTerminalText};
  }
  if (doc.contains("dock") && doc["dock"].is_object()) {
    const Json& more = doc["dock"];
    const Json folders = more.value("folders", Json::array());
    const bool trash = more.value("trash", false);
    if ((folders.is_array() && !folders.empty()) || trash) dock.add({.kind = SimDockItem::Kind::separator});
    if (folders.is_array())
      for (const auto& name : folders)
        if (name.is_string())
          dock.add({.kind = SimDockItem::Kind::folder,
                    .title = name.get<std::string>(),
                    .url = platform::FileURL::fromPath("/Users/user/" + name.get<std::string>(), true)});
    if (trash)
      dock.add({.kind = SimDockItem::Kind::trash, .title = "Trash", .url = "file:///Users/user/.Trash/"});
    if (more.contains("display") && more["display"].is_number_unsigned())
      dock.display = more["display"].get<std::size_t>();
  }
  if (frontmost) desktop.activate(*frontmost);
  return std::nullopt;
}

void populate(SimDesktop& desktop, std::string* problem) {
  if (const char* path = std::getenv(kEnvironmentVariable); path && *path) {
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    if (!in) {
      if (problem)
        *problem = std::string("sample desktop ") + path + " cannot be read; using the built-in one";
    } else if (auto error = load(desktop, content.str())) {
      if (problem)
        *problem =
            std::string("sample desktop ") + path + " is not usable (" + *error + "); using the built-in one";
    } else {
      return;
    }
  }
  load(desktop, builtIn());
}

}  // namespace velvix::sim::SampleDesktop
