#pragma once
// The system's only way into other applications' windows: enumerate an application's windows
// with their window-server numbers, titles and minimized states, raise a window by number or by
// title, press a close button. Every call is bounded: each element gets a 0.25 s messaging
// time-out and every walk over an application's windows stops after 0.4 s, so an application that
// does not answer cannot stall the main thread that also serves the keyboard tap.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Accessibility.hpp"

namespace velvix {
namespace platform {
class MainLoop;
}

class AXWindowBridge {
 public:
  static constexpr double kMessagingTimeout = 0.25;
  static constexpr double kEnumerationBudget = 0.4;

  // raised: found and raised; missing: the enumeration was complete and the window is not there;
  // unknown: the windows could not all be examined.
  enum class RaiseOutcome { raised, missing, unknown };

  struct WindowState {
    std::int64_t number;
    bool minimized;
    bool operator==(const WindowState&) const = default;
  };

  struct FoundWindow {
    std::optional<platform::AXElement> element;
    bool proven = false;  // with no element: the window is provably not there
  };

  AXWindowBridge(platform::Accessibility& ax, const platform::MainLoop& clock) : ax_(ax), clock_(clock) {}

  std::vector<std::string> allWindowTitles(platform::Pid app);
  std::vector<std::string> windowTitles(platform::Pid app);
  std::map<std::int64_t, std::string> windowTitlesByNumber(platform::Pid app);
  // All or nothing: nothing means the windows cannot be told, never that there are none. Given
  // `mayBeMinimized`, only the windows it names are asked whether they are minimized; the others
  // count as not minimized (a window the window server shows on screen is not).
  std::optional<std::vector<WindowState>> windowStatesIfEnumerable(
      platform::Pid app, std::optional<double> deadline = {},
      const std::function<bool(std::int64_t)>& mayBeMinimized = {});
  std::optional<std::int64_t> focusedWindowNumber(platform::Pid app);
  std::optional<platform::AXElement> axWindow(std::int64_t number, platform::Pid app);
  FoundWindow findWindow(std::int64_t number, const std::string& fallbackTitle, platform::Pid app);
  RaiseOutcome raiseWindow(std::int64_t number, const std::string& fallbackTitle, platform::Pid app);
  bool raiseWindow(const std::string& titledContaining, platform::Pid app);
  bool raiseAuxWindow(const std::string& titled, const std::vector<std::string>& scriptedWindowNames,
                      platform::Pid app);
  bool raiseScriptedWindow(const std::vector<std::string>& scriptedWindowNames, platform::Pid app);
  bool closeFrontWindow(platform::Pid app);
  bool pressCloseButton(platform::AXElement window);

  // Pure title tests.
  static bool isPrivateWindowTitle(const std::string& title,
                                   const std::vector<std::string>& scriptedWindowNames);
  static std::optional<std::string> auxWindowTitle(const std::vector<std::string>& titlesFrontToBack,
                                                   const std::optional<std::string>& appName,
                                                   const std::vector<std::string>& scriptedWindowNames);

 private:
  struct TitledWindow {
    platform::AXElement element;
    std::string title;
  };

  std::optional<std::vector<platform::AXElement>> axWindowsIfEnumerable(platform::Pid app);
  std::vector<TitledWindow> titledWindows(platform::Pid app);
  std::optional<std::string> title(platform::AXElement window);
  std::optional<bool> boolAttribute(platform::AXElement element, const char* attribute);
  std::optional<std::int64_t> number(platform::AXElement window);
  void raise(platform::AXElement window);
  bool pastDeadline(double deadline) const;

  platform::Accessibility& ax_;
  const platform::MainLoop& clock_;
};

}  // namespace velvix
