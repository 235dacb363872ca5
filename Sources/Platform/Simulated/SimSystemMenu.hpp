#pragma once
// The simulated system's own controls, for a person trying the program: the permissions this
// program holds, secure input turned on by a named application, the system switching the event
// tap off as it does for a slow tap, the machine put to sleep and woken, its screen locked and
// unlocked, the installed applications launched and quit, and the Spaces. The desktop window shows it as a
// menu in its menu-bar strip; each state the status item, the set-up window and the health monitor describe
// can so be produced and seen.

#include <memory>
#include <vector>

#include "Platform/Menu.hpp"

namespace velvix::sim {

class SimDesktop;

class SimSystemMenu {
 public:
  static constexpr const char* kTitle = "Simulated System";

  explicit SimSystemMenu(SimDesktop& desktop);
  // Rebuilt from the desktop's state each time it opens.
  platform::Menu& menu() { return *menu_; }

 private:
  void rebuild();
  // Each a submenu.
  std::shared_ptr<platform::MenuItem> permissions();
  std::shared_ptr<platform::MenuItem> secureInput();
  std::shared_ptr<platform::MenuItem> applications();
  std::shared_ptr<platform::MenuItem> spaces();

  SimDesktop& desktop_;
  std::shared_ptr<platform::Menu> menu_;
};

}  // namespace velvix::sim
