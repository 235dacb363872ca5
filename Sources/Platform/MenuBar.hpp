#pragma once
// The system's menu bar as this program uses it: the application's main menu (shown while the
// program is frontmost) and one status item at its right end, with an image, a tool tip and a menu.

#include <memory>
#include <optional>
#include <string>

#include "Platform/Menu.hpp"

namespace velvix::platform {

// A status-bar image: a named symbol drawn as a template at a point size, and what it says to
// assistive technology.
struct StatusImage {
  std::string symbol;
  std::string accessibilityDescription;
  double pointSize = 15;
  bool operator==(const StatusImage&) const = default;
};

class MenuBar {
 public:
  virtual ~MenuBar() = default;
  virtual void setMainMenu(std::shared_ptr<Menu> menu) = 0;
  // Makes the one square status item with this menu.
  virtual void installStatusItem(std::shared_ptr<Menu> menu) = 0;
  virtual void setStatusImage(const StatusImage& image) = 0;
  virtual void setStatusToolTip(std::optional<std::string> toolTip) = 0;
};

}  // namespace velvix::platform
