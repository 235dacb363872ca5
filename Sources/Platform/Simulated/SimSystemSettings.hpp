#pragma once
// The system's settings application on the simulated desktop, as far as this program meets it:
// its privacy panes for Accessibility, Input Monitoring and Screen Recording, each listing the
// program with a switch. Opening a pane's address (or a permission's first prompt, whose "Open
// System Settings" leads there) launches the application if needed and brings the pane forward,
// and a click on the switch grants or withdraws the permission, as a person does on a Mac.

#include <optional>
#include <string>

#include "Platform/Geometry.hpp"

namespace velvix::sim {

class SimDesktop;
struct SimWindow;

class SimSystemSettings {
 public:
  static constexpr const char* kBundleID = "com.apple.systempreferences";
  static constexpr const char* kName = "System Settings";
  static constexpr const char* kAddressPrefix = "x-apple.systempreferences:";
  // The program's row in every pane.
  static constexpr const char* kRowName = "Velvix";

  // Shows the pane a privacy address or a pane name ("Privacy_Accessibility") names, in front;
  // false for a pane it does not have (nothing changes then).
  static bool open(SimDesktop& desktop, const std::string& addressOrPane);
  // The pane's heading and the sentence under it; nothing for a pane it does not have.
  static std::optional<std::string> title(const std::string& pane);
  static std::string explanation(const std::string& pane);
  // Whether the pane's permission is granted now.
  static bool isOn(const SimDesktop& desktop, const std::string& pane);
  // The program's row and its switch, in screen points, for a pane window's frame.
  static Rect rowFrame(const Rect& window);
  static Rect switchFrame(const Rect& window);
  // A click at `point` on a pane window: the switch flips the permission. True when it did.
  static bool click(SimDesktop& desktop, const SimWindow& window, Point point);
};

}  // namespace velvix::sim
