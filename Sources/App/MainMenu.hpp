#pragma once
// The application menu, as far as the switcher core installs it: its items and the delegate
// actions they trigger. The menu bar itself comes with the settings and status menus.

#include <functional>
#include <string>
#include <vector>

namespace velvix {

class AppDelegate;

class MainMenu {
 public:
  struct Item {
    std::string title;
    std::function<void()> action;
  };

  void install(AppDelegate& delegate);
  const std::vector<Item>& items() const { return items_; }
  // Runs the action of the item with this title; false when there is none.
  bool choose(const std::string& title) const;

 private:
  std::vector<Item> items_;
};

}  // namespace velvix
