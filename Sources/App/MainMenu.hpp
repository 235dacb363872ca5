#pragma once
// The application menu: "Velvix" (About, Settings…, Setup Assistant…, Check for Updates…, Hide,
// Quit), "Edit" and "Window", with the usual key equivalents. It shows only while one of the
// program's own windows is in front. Window and editing commands go to whatever is in front
// (the first responder); the rest call the application and its delegate.

#include <functional>
#include <memory>
#include <string>

#include "Platform/Menu.hpp"

namespace velvix {

class AppDelegate;
namespace platform {
class Application;
class MenuBar;
}  // namespace platform

class MainMenu {
 public:
  // The items call `application`; the menu is shown through `menuBar`.
  MainMenu(platform::Application& application, platform::MenuBar& menuBar)
      : application_(application), menuBar_(menuBar) {}

  // Builds the menu and sets it as the application's main menu. Once.
  void install(AppDelegate& delegate);
  const std::shared_ptr<platform::Menu>& menu() const { return menu_; }
  // Runs the action of the item with this title (in any submenu); false when there is none.
  bool choose(const std::string& title) const { return menu_ && menu_->choose(title); }
  // A key pressed while the program is frontmost: runs the matching item, true when one matched.
  bool performKeyEquivalent(const std::string& key, std::uint64_t flags) const;

  // Where the window and editing commands go ("performClose:", "undo:", ...); answers whether
  // something in front took it. Unset: nothing does.
  std::function<bool(const std::string& selector)> firstResponder;
  // Where what the first responder did not take goes next: the focused text field.
  std::function<bool(const std::string& selector)> editResponder;

 private:
  std::shared_ptr<platform::MenuItem> responderItem(std::string title, std::string selector, std::string key,
                                                    std::uint64_t modifiers = platform::EventFlag::kCommand);

  platform::Application& application_;
  platform::MenuBar& menuBar_;
  std::shared_ptr<platform::Menu> menu_;
};

}  // namespace velvix
