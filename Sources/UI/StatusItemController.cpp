#include "UI/StatusItemController.hpp"

#include "Core/Preferences.hpp"
#include "Platform/Application.hpp"
#include "Platform/MenuBar.hpp"
#include "Support/UpdateChecker.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsWindowController.hpp"

namespace velvix {

using platform::MenuItem;

namespace {

std::shared_ptr<MenuItem> item(std::string title, std::string key, std::function<void()> action) {
  auto made = std::make_shared<MenuItem>();
  made->title = std::move(title);
  made->keyEquivalent = std::move(key);
  made->action = std::move(action);
  return made;
}

platform::StatusImage imageFor(StatusItemController::Icon icon) {
  switch (icon) {
    case StatusItemController::Icon::warning:
      return {"exclamationmark.triangle", "Velvix \u2014 permissions needed"};
    case StatusItemController::Icon::secureInput:
      return {"lock", "Velvix \u2014 paused by secure input"};
    case StatusItemController::Icon::healthy:
      break;
  }
  return {"command", "Velvix"};
}

}  // namespace

StatusItemController::StatusItemController(platform::Application& application, platform::MenuBar& menuBar,
                                           Preferences& preferences, UpdateChecker& updateChecker,
                                           SettingsWindowController& settingsWindow,
                                           OnboardingWindowController& onboardingWindow)
    : application_(application),
      menuBar_(menuBar),
      preferences_(preferences),
      updateChecker_(updateChecker),
      settingsWindow_(settingsWindow),
      onboardingWindow_(onboardingWindow) {
  enabledItem_ = item(kEnabledTitle, "", [this] { toggleEnabled(); });
  warningItem_ = item(kWarningTitle, "", [this] { openRegrant(); });
  warningSeparator_ = MenuItem::makeSeparator();
  secureInputItem_ = item("", "", {});
  secureInputSeparator_ = MenuItem::makeSeparator();
  // Until the tap reports secure input, the notice and its separator are not in the way.
  secureInputItem_->enabled = false;
  secureInputItem_->hidden = true;
  secureInputSeparator_->hidden = true;
}

std::string StatusItemController::secureInputDescription(const std::optional<std::string>& holder) {
  std::string text = "Paused: secure input is on";
  if (holder) text += " (" + *holder + ")";
  return text + " \u2014 macOS hides keystrokes while a password field has focus";
}

void StatusItemController::install() {
  if (installed_) return;
  installed_ = true;
  menu_ = std::make_shared<platform::Menu>();
  menu_->willOpen = [this] { menuNeedsUpdate(); };
  // The warning line stays visible until the menu first opens and asks the tap.
  menu_->items = {warningItem_,
                  warningSeparator_,
                  secureInputItem_,
                  secureInputSeparator_,
                  enabledItem_,
                  MenuItem::makeSeparator(),
                  item(kSettingsTitle, ",", [this] { openSettings(); }),
                  item(kSetupTitle, "", [this] { openOnboarding(); }),
                  MenuItem::makeSeparator(),
                  item(kUpdatesTitle, "", [this] { checkForUpdates(); }),
                  item(kAboutTitle, "", [this] { openAbout(); }),
                  item(kQuitTitle, "q", [this] { quit(); })};
  menuBar_.installStatusItem(menu_);
  showIcon(Icon::healthy);
}

void StatusItemController::menuNeedsUpdate() {
  enabledItem_->checked = preferences_.switcherEnabled.get();
  const bool enabled = tapEnabled && tapEnabled();
  warningItem_->hidden = enabled;
  warningSeparator_->hidden = enabled;
  updateIcon(enabled);
}

void StatusItemController::updateIcon(bool healthy) {
  lastHealthy_ = healthy;
  showIcon(!healthy ? Icon::warning : secureInputOn_ ? Icon::secureInput : Icon::healthy);
  // The tool tip explains secure input even while the warning triangle hides the lock.
  toolTip_ = secureInputOn_ ? std::optional(secureInputDescription(secureInputHolder_)) : std::nullopt;
  if (installed_) menuBar_.setStatusToolTip(toolTip_);
}

void StatusItemController::setSecureInput(bool on, std::optional<std::string> holder) {
  secureInputOn_ = on;
  secureInputHolder_ = std::move(holder);
  secureInputItem_->title = secureInputDescription(secureInputHolder_);
  secureInputItem_->hidden = !on;
  secureInputSeparator_->hidden = !on;
  updateIcon(lastHealthy_);
}

void StatusItemController::showIcon(Icon icon) {
  icon_ = icon;
  if (installed_) menuBar_.setStatusImage(imageFor(icon));
}

void StatusItemController::toggleEnabled() {
  preferences_.switcherEnabled.set(!preferences_.switcherEnabled.get());
}

void StatusItemController::openSettings() {
  settingsWindow_.show();
}

// The menu's own entry always walks through the whole set-up, even after it was completed.
void StatusItemController::openOnboarding() {
  onboardingWindow_.show(OnboardingMode::setup);
}

void StatusItemController::openRegrant() {
  const bool completed = preferences_.hasCompletedOnboarding.get();
  onboardingWindow_.show(completed ? OnboardingMode::regrant : OnboardingMode::setup);
}

void StatusItemController::checkForUpdates() {
  application_.activate(true);
  updateChecker_.checkForUpdates();
}

void StatusItemController::openAbout() {
  application_.activate(true);
  application_.orderFrontStandardAboutPanel();
}

void StatusItemController::quit() {
  application_.terminate();
}

}  // namespace velvix
