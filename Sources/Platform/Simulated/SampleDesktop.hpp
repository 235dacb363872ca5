#pragma once
// The sample desktop that the real program runs over: a few applications with windows on two
// Spaces, a Chromium-family browser and a terminal with tabs, and a Dock. It is a JSON document;
// one given in the environment variable VELVIX_SAMPLE_DESKTOP (a file path) replaces the built-in
// one. Format:
//   {"displays": [{"frame": [x, y, w, h], "scale": 2, "spaces": [1, 2], "current": 1}],
//    "apps": [{"bundleID": "...", "name": "...", "badge": "3",
//              "windows": [{"title": "...", "frame": [x, y, w, h], "space": 2, "minimized": false,
//                           "private": false, "tabs": [{"title": "...", "url": "..."}], "active": 0}]}],
//    "dock": {"folders": ["Downloads"], "trash": true, "display": 0},
//    "frontmost": "<bundle id>"}
// Windows are listed back to front; the last window of the document is in front.

#include <optional>
#include <string>

namespace velvix::sim {

class SimDesktop;

namespace SampleDesktop {
inline constexpr const char* kEnvironmentVariable = "VELVIX_SAMPLE_DESKTOP";

// The built-in document.
const std::string& builtIn();
// Fills the desktop from a document; an error text (and nothing added) when it is not one.
std::optional<std::string> load(SimDesktop& desktop, const std::string& document);
// The document of VELVIX_SAMPLE_DESKTOP when it is set and readable and valid, else the built-in
// one; `problem` receives a line when the given file could not be used.
void populate(SimDesktop& desktop, std::string* problem = nullptr);
}  // namespace SampleDesktop

}  // namespace velvix::sim
