#include "Platform/Simulated/SimSystemMenu.hpp"

#include <algorithm>
#include <set>

#include "Platform/Privacy.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimInput.hpp"

namespace velvix::sim {

using platform::Menu;
using platform::MenuItem;

namespace {

std::shared_ptr<MenuItem> item(std::string title, std::function<void()> action, bool checked = false) {
  auto made = std::make_shared<MenuItem>();
  made->title = std::move(title);
  made->action = std::move(action);
  made->checked = checked;
  return made;
}

// A submenu of the menu.
std::shared_ptr<MenuItem> submenu(std::string title, std::vector<std::shared_ptr<MenuItem>> items) {
  auto made = std::make_shared<MenuItem>();
  made->title = title;
  made->submenu = std::make_shared<Menu>();
  made->submenu->title = std::move(title);
  made->submenu->items = std::move(items);
  return made;
}

std::string nameOf(const SimApp& app) {
  return app.name.value_or(app.bundleID.value_or("pid " + std::to_string(app.pid)));
}

// The applications a person knows as such: not this program, the Dock or background agents.
bool isUserApplication(const SimApp& app, platform::Pid self) {
  return app.pid != self && app.activationPolicy == platform::ActivationPolicy::Regular &&
         app.bundleID != "com.apple.dock";
}

}  // namespace

SimSystemMenu::SimSystemMenu(SimDesktop& desktop) : desktop_(desktop), menu_(std::make_shared<Menu>()) {
  menu_->title = kTitle;
  menu_->willOpen = [this] { rebuild(); };
  rebuild();
}

void SimSystemMenu::rebuild() {
  SimDesktop& d = desktop_;
  menu_->items = {permissions(), secureInput(),
                  item("Disable the Event Tap (as for a Slow Tap)",
                       [&d] {
                         for (auto id : d.input().enabledTaps()) d.input().disableByTimeout(id);
                       }),
                  MenuItem::makeSeparator(),
                  // One item each that says what choosing it does next.
                  d.isAsleep() ? item("Wake", [&d] { d.wake(); }) : item("Sleep", [&d] { d.sleep(); }),
                  d.isScreenLocked() ? item("Unlock Screen", [&d] { d.unlockScreen(); })
                                     : item("Lock Screen", [&d] { d.lockScreen(); }),
                  MenuItem::makeSeparator(), applications(), spaces()};
}

std::shared_ptr<MenuItem> SimSystemMenu::permissions() {
  SimDesktop& d = desktop_;
  using Access = platform::ListenEventAccess;
  const bool listening = d.privacy.listenEvent == Access::granted;
  std::vector<std::shared_ptr<MenuItem>> items{
      item(
          "Accessibility", [&d] { d.accessibilityTrusted = !d.accessibilityTrusted; },
          d.accessibilityTrusted),
      item(
          "Input Monitoring",
          [&d, listening] { d.privacy.listenEvent = listening ? Access::denied : Access::granted; },
          listening),
      item(
          "Screen Recording", [&d] { d.privacy.screenCapture = !d.privacy.screenCapture; },
          d.privacy.screenCapture)};
  for (const auto& [bundleID, status] : d.privacy.automation) {
    const bool granted = status == platform::Privacy::kAutomationGranted;
    std::string name = bundleID;
    for (const auto& installed : d.installed())
      if (installed.bundleID == bundleID) name = installed.name;
    items.push_back(item(
        "Automation of " + name,
        [&d, id = bundleID, granted] {
          d.privacy.automation[id] =
              granted ? platform::Privacy::kAutomationDenied : platform::Privacy::kAutomationGranted;
        },
        granted));
  }
  return submenu("Permissions", std::move(items));
}

std::shared_ptr<MenuItem> SimSystemMenu::secureInput() {
  SimDesktop& d = desktop_;
  const bool on = d.secureInput.enabled.load();
  std::vector<std::shared_ptr<MenuItem>> items{item(
      "Off",
      [&d] {
        d.secureInput.enabled = false;
        d.secureInput.holder.reset();
      },
      !on)};
  for (const SimApp* app : d.apps()) {
    if (!isUserApplication(*app, d.selfPid())) continue;
    const platform::Pid pid = app->pid;
    items.push_back(item(
        "Held by " + nameOf(*app),
        [&d, pid] {
          d.secureInput.holder = pid;
          d.secureInput.enabled = true;
        },
        on && d.secureInput.holder == pid));
  }
  return submenu("Secure Input", std::move(items));
}

std::shared_ptr<MenuItem> SimSystemMenu::applications() {
  SimDesktop& d = desktop_;
  std::vector<std::shared_ptr<MenuItem>> items;
  std::set<std::string> listed;
  for (const auto& installed : d.installed()) {
    if (!listed.insert(installed.bundleID).second) continue;
    const SimApp* running = nullptr;
    for (const SimApp* app : d.apps())
      if (app->bundleID == installed.bundleID && !app->terminated) running = app;
    if (running && !isUserApplication(*running, d.selfPid())) continue;
    if (running)
      items.push_back(item("Quit " + installed.name, [&d, pid = running->pid] { d.terminate(pid); }));
    else
      items.push_back(item("Launch " + installed.name, [&d, path = installed.path] { d.open(path, true); }));
  }
  return submenu("Applications", std::move(items));
}

std::shared_ptr<MenuItem> SimSystemMenu::spaces() {
  SimDesktop& d = desktop_;
  std::vector<std::shared_ptr<MenuItem>> items;
  for (std::size_t i = 0; i < d.displays().size(); ++i) {
    const SimDisplay& display = d.displays()[i];
    for (std::size_t n = 0; n < display.spaces.size(); ++n) {
      const std::uint64_t space = display.spaces[n];
      std::string title = "Space " + std::to_string(n + 1);
      if (d.displays().size() > 1) title = "Display " + std::to_string(i + 1) + ", " + title;
      items.push_back(item(
          title, [&d, i, space] { d.switchSpace(i, space); }, display.currentSpace == space));
    }
  }
  return submenu("Spaces", std::move(items));
}

}  // namespace velvix::sim
