#include "TestSupport/AppWorld.hpp"

#include <fstream>

#include "Core/Preferences.hpp"
#include "Input/SwitcherController.hpp"
#include "Platform/InputEvent.hpp"
#include "Support/AppIdentity.hpp"
#include "Support/DebugLog.hpp"
#include "TestSupport/LogLines.hpp"
#include "TestSupport/QtTestApplication.hpp"
#include "UI/HUDController.hpp"

namespace velvix::test {
AppWorld::AppWorld() {
  ensureQtApplication();
  desktop.launchSelf(AppIdentity::kBundleIdentifier, AppIdentity::kName);
}

AppWorld::~AppWorld() {
  if (app) app->services().log->flush();
  app.reset();
}

platform::Pid AppWorld::launchApp(const std::string& bundleID, const std::string& name,
                                  const std::vector<std::string>& windows) {
  auto pid = desktop.launch({.bundleID = bundleID, .name = name});
  double offset = 0;
  for (const auto& title : windows) {
    desktop.addWindow(pid, {.title = title, .bounds = {120 + offset, 90 + offset, 800, 560}});
    offset += 30;
  }
  return pid;
}

void AppWorld::launch() {
  VelvixAppOptions built = options;
  built.home = home.path();
  built.settings = &settings;
  built.backgroundTimers = &backgroundTimers;
  built.simulatedSocketPeers = !realSocketPeers;
  built.beforeLaunch = [this](Services& services) {
    services.preferences->hasCompletedOnboarding.set(true);
    services.preferences->debugLogging.set(true);
    if (beforeLaunch) beforeLaunch(services);
  };
  app = std::make_unique<VelvixApp>(desktop, std::move(built));
  app->launch();
  loop.advance(0.5);
}

void AppWorld::hold(std::uint64_t flags) {
  held_ |= flags;
  desktop.input().setModifiers(held_);
}

void AppWorld::release() {
  held_ = 0;
  desktop.input().setModifiers(0);
  loop.runUntilIdle();
}

void AppWorld::tab(std::uint64_t extraFlags) {
  desktop.input().press(platform::KeyCode::kTab, held_ | extraFlags);
  loop.runUntilIdle();
}

void AppWorld::key(std::int64_t code) {
  desktop.input().press(code, held_);
  loop.runUntilIdle();
}

std::int64_t AppWorld::frontWindow() const {
  for (auto number : desktop.stackingOrder()) {
    const sim::SimWindow* w = desktop.window(number);
    if (w && !w->minimized && w->layer == 0) return number;
  }
  return 0;
}

std::string AppWorld::frontWindowTitle() const {
  const sim::SimWindow* w = desktop.window(frontWindow());
  return w && w->title ? *w->title : std::string();
}

bool AppWorld::hudVisible() {
  auto* switcher = app->delegate().switcher();
  return switcher && switcher->hud().isVisible();
}

std::vector<std::string> AppWorld::healthLines() {
  app->services().log->flush();
  return logMessages(app->services().log->healthPath());
}

std::vector<std::string> AppWorld::debugLines() {
  app->services().log->flush();
  return logMessages(app->services().log->debugPath());
}

}  // namespace velvix::test
