#include "Platform/Simulated/SimSystemSettings.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

namespace {

constexpr const char* kAccessibility = "Privacy_Accessibility";
constexpr const char* kInputMonitoring = "Privacy_ListenEvent";
constexpr const char* kScreenRecording = "Privacy_ScreenCapture";
constexpr double kTitleBar = 28;

std::string paneOf(const std::string& addressOrPane) {
  const auto query = addressOrPane.find('?');
  return query == std::string::npos ? addressOrPane : addressOrPane.substr(query + 1);
}

}  // namespace

std::optional<std::string> SimSystemSettings::title(const std::string& pane) {
  if (pane == kAccessibility) return "Accessibility";
  if (pane == kInputMonitoring) return "Input Monitoring";
  if (pane == kScreenRecording) return "Screen & System Audio Recording";
  return std::nullopt;
}

std::string SimSystemSettings::explanation(const std::string& pane) {
  if (pane == kAccessibility) return "Allow the applications below to control your computer.";
  if (pane == kInputMonitoring)
    return "Allow the applications below to monitor input from your keyboard even while using other "
           "applications.";
  return "Allow the applications below to record the contents of your screen.";
}

bool SimSystemSettings::isOn(const SimDesktop& desktop, const std::string& pane) {
  if (pane == kAccessibility) return desktop.accessibilityTrusted;
  if (pane == kInputMonitoring) return desktop.privacy.listenEvent == platform::ListenEventAccess::granted;
  if (pane == kScreenRecording) return desktop.privacy.screenCapture;
  return false;
}

Rect SimSystemSettings::rowFrame(const Rect& window) {
  return {window.x + 24, window.y + kTitleBar + 104, window.width - 48, 40};
}

Rect SimSystemSettings::switchFrame(const Rect& window) {
  const Rect row = rowFrame(window);
  return {row.x + row.width - 52, row.y + 10, 40, 20};
}

bool SimSystemSettings::open(SimDesktop& desktop, const std::string& addressOrPane) {
  const std::string pane = paneOf(addressOrPane);
  const auto heading = title(pane);
  if (!heading) return false;
  std::optional<platform::Pid> pid;
  for (const SimApp* app : desktop.apps())
    if (app->bundleID == kBundleID && !app->terminated) pid = app->pid;
  if (!pid) pid = desktop.launch({.bundleID = kBundleID, .name = kName});
  // One window, showing the pane asked for last, in the middle of the main display.
  std::int64_t number = 0;
  for (auto existing : desktop.windowsOf(*pid)) number = existing;
  if (number == 0) {
    const Rect screen = desktop.displays().front().frame;
    const double width = 640, height = 420;
    number = desktop.addWindow(*pid, {.title = *heading,
                                      .bounds = {screen.x + (screen.width - width) / 2,
                                                 screen.y + (screen.height - height) / 2, width, height}});
  }
  SimWindow* w = desktop.window(number);
  w->title = *heading;
  w->settingsPane = pane;
  if (w->minimized) desktop.setMinimized(number, false);
  desktop.activate(*pid);
  desktop.raiseWindow(number);
  return true;
}

bool SimSystemSettings::click(SimDesktop& desktop, const SimWindow& window, Point point) {
  if (window.settingsPane.empty() || !switchFrame(window.bounds).contains(point)) return false;
  const std::string& pane = window.settingsPane;
  const bool on = !isOn(desktop, pane);
  if (pane == kAccessibility) desktop.accessibilityTrusted = on;
  if (pane == kInputMonitoring)
    desktop.privacy.listenEvent =
        on ? platform::ListenEventAccess::granted : platform::ListenEventAccess::denied;
  if (pane == kScreenRecording) desktop.privacy.screenCapture = on;
  return true;
}

}  // namespace velvix::sim
