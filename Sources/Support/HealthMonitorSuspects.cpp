// The input suspects of the health monitor: other processes' keyboard taps, known input tools and
// the attached keyboards. Read from any thread; every failed query gives an empty list.

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "Platform/EventTaps.hpp"
#include "Platform/InputEvent.hpp"
#include "Platform/KeyboardRegistry.hpp"
#include "Platform/ProcessTable.hpp"
#include "Support/HealthMonitor.hpp"

namespace velvix {
namespace {

// Programs that read, remap, replay or take over keystrokes, by the start of their names.
constexpr std::array<std::string_view, 36> kInputToolPrefixes{
    "karabiner",     "bettertouchtool", "alttab",           "witch",
    "contexts",      "hyperswitch",     "manico",           "command-tab",
    "raycast",       "alfred",          "keyboard maestro", "hammerspoon",
    "skhd",          "hyperkey",        "homerow",          "shortcat",
    "superkey",      "logioptionsplus", "logi options",     "steermouse",
    "usb overdrive", "synergy",         "deskflow",         "barrier",
    "sharemouse",    "input leap",      "teamviewer",       "anydesk",
    "parsec",        "jump desktop",    "rustdesk",         "splashtop",
    "screens 5",     "screensharingd",  "keystroke pro",    "keycastr"};

constexpr std::array<std::string_view, 3> kSystemFolders{"/System/", "/usr/", "/Library/Apple/"};

std::vector<std::string> sortedUnique(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::string lowercased(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string joinedOrNone(const std::vector<std::string>& names) {
  if (names.empty()) return "none";
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

std::string HealthMonitor::processName(platform::Pid pid) const {
  auto name = processes_.name(pid);
  return name && !name->empty() ? *name : "pid " + std::to_string(pid);
}

bool HealthMonitor::isSystemProcess(platform::Pid pid) const {
  const auto path = processes_.executablePath(pid);
  return path && std::any_of(kSystemFolders.begin(), kSystemFolders.end(),
                             [&](std::string_view folder) { return path->starts_with(folder); });
}

HealthMonitor::KeyboardTaps HealthMonitor::keyboardTaps() const {
  KeyboardTaps result;
  const platform::Pid self = workspace_.ownPid();
  std::vector<std::string> others;
  for (const auto& tap : eventTaps_.tapList()) {
    if (!tap.enabled || !(tap.eventsOfInterest & platform::InputEvent::maskBit(platform::EventType::keyDown)))
      continue;
    if (tap.ownerPID == self) {
      const double latency = tap.maxLatencyMicroseconds / 1000.0;
      result.ownMaxLatency = std::max(result.ownMaxLatency.value_or(latency), latency);
      continue;
    }
    const char* kind = tap.listenOnly ? "listen" : tap.atHardwarePoint ? "filter@hid" : "filter@session";
    others.push_back(processName(tap.ownerPID) + " (" + kind + ")");
  }
  result.others = sortedUnique(std::move(others));
  return result;
}

std::vector<std::string> HealthMonitor::inputTools() const {
  std::vector<std::string> tools;
  for (platform::Pid pid : processes_.allPids()) {
    if (pid <= 0) continue;
    const std::string name = processName(pid);
    const std::string lower = lowercased(name);
    const bool listed = std::any_of(kInputToolPrefixes.begin(), kInputToolPrefixes.end(),
                                    [&](std::string_view prefix) { return lower.starts_with(prefix); });
    if (listed && !isSystemProcess(pid)) tools.push_back(name);
  }
  return sortedUnique(std::move(tools));
}

std::vector<std::string> HealthMonitor::keyboardDevices() const {
  std::vector<std::string> names;
  if (auto keyboards = keyboards_.keyboards())
    for (const auto& product : *keyboards) names.push_back(product.value_or("unnamed"));
  return sortedUnique(std::move(names));
}

std::string HealthMonitor::suspects() const {
  return "taps [" + joinedOrNone(keyboardTaps().others) + "], tools [" + joinedOrNone(inputTools()) +
         "], keyboards [" + joinedOrNone(keyboardDevices()) + "]";
}

}  // namespace velvix
