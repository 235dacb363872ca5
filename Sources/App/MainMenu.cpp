#include "App/MainMenu.hpp"

#include "App/AppDelegate.hpp"
#include "Platform/Application.hpp"
#include "Platform/MenuBar.hpp"

namespace velvix {

using platform::Menu;
using platform::MenuItem;

namespace {

std::shared_ptr<MenuItem> item(std::string title, std::string selector, std::string key,
                               std::function<void()> action) {
  auto made = std::make_shared<MenuItem>();
  made->title = std::move(title);
  made->selector = std::move(selector);
  made->keyEquivalent = std::move(key);
  made->action = std::move(action);
  return made;
}

std::shared_ptr<MenuItem> top(std::string title, std::string submenuTitle,
                              std::vector<std::shared_ptr<MenuItem>> items) {
  auto made = std::make_shared<MenuItem>();
  made->title = std::move(title);
  made->submenu = std::make_shared<Menu>();
  made->submenu->title = std::move(submenuTitle);
  made->submenu->items = std::move(items);
  return made;
}

}  // namespace

std::shared_ptr<MenuItem> MainMenu::responderItem(std::string title, std::string selector, std::string key,
                                                  std::uint64_t modifiers) {
  auto made = item(std::move(title), selector, std::move(key), [this, selector] {
    if (firstResponder && firstResponder(selector)) return;
    if (editResponder) editResponder(selector);
  });
  made->keyModifiers = modifiers;
  return made;
}

void MainMenu::install(AppDelegate& delegate) {
  if (menu_) return;
  platform::Application& app = application_;
  menu_ = std::make_shared<Menu>();
  menu_->items = {
      top("Velvix", "",
          {item("About Velvix", "orderFrontStandardAboutPanel:", "",
                [&app] { app.orderFrontStandardAboutPanel(); }),
           MenuItem::makeSeparator(),
           item("Settings\u2026", "openSettingsMenuItem:", ",",
                [&delegate] { delegate.openSettingsMenuItem(); }),
           item("Setup Assistant\u2026", "openOnboardingMenuItem:", "",
                [&delegate] { delegate.openOnboardingMenuItem(); }),
           item("Check for Updates\u2026", "checkForUpdatesMenuItem:", "",
                [&delegate] { delegate.checkForUpdatesMenuItem(); }),
           MenuItem::makeSeparator(), item("Hide Velvix", "hide:", "h", [&app] { app.hide(); }),
           item("Quit Velvix", "terminate:", "q", [&app] { app.terminate(); })}),
      top("Edit", "Edit",
          {responderItem("Undo", "undo:", "z"),
           responderItem("Redo", "redo:", "z", platform::EventFlag::kCommand | platform::EventFlag::kShift),
           MenuItem::makeSeparator(), responderItem("Cut", "cut:", "x"), responderItem("Copy", "copy:", "c"),
           responderItem("Paste", "paste:", "v"), responderItem("Select All", "selectAll:", "a")}),
      top("Window", "Window",
          {responderItem("Close", "performClose:", "w"),
           responderItem("Minimize", "performMiniaturize:", "m")}),
  };
  menuBar_.setMainMenu(menu_);
}

bool MainMenu::performKeyEquivalent(const std::string& key, std::uint64_t flags) const {
  if (!menu_) return false;
  MenuItem* match = menu_->itemForKey(key, flags);
  if (!match || !match->enabled || !match->action) return false;
  match->action();
  return true;
}

}  // namespace velvix
