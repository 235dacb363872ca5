#include "App/MainMenu.hpp"

#include "App/AppDelegate.hpp"

namespace velvix {

void MainMenu::install(AppDelegate& delegate) {
  items_ = {
      {"Settings\u2026", [&delegate] { delegate.openSettingsMenuItem(); }},
      {"Setup\u2026", [&delegate] { delegate.openOnboardingMenuItem(); }},
      {"Check for Updates\u2026", [&delegate] { delegate.checkForUpdatesMenuItem(); }},
  };
}

bool MainMenu::choose(const std::string& title) const {
  for (const auto& item : items_)
    if (item.title == title) {
      item.action();
      return true;
    }
  return false;
}

}  // namespace velvix
