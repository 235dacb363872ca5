#include "TestSupport/TestWorld.hpp"

#include <fstream>

#include <unistd.h>

#include "Support/AppIdentity.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/SupportFolder.hpp"
#include "TestSupport/LogLines.hpp"
#include "TestSupport/QtTestApplication.hpp"

namespace velvix::test {
TestWorld::TestWorld()
    : options{
          .home = home.path(),
          .settings = &defaults,
          .http = &web,
          .backgroundTimers = &backgroundTimers,
          .messagePorts = &messagePorts,
          .quarantine = &quarantine,
          .processes = &desktop.processes(),
          .resources = resourceFolder.path(),
          .paintWindows = false,
      } {
  desktop.launchSelf(AppIdentity::kBundleIdentifier, AppIdentity::kName);
}

TestWorld::~TestWorld() {
  if (app_) app_->services().log->flush();
}

VelvixApp& TestWorld::app() {
  if (!app_) {
    ensureQtApplication();  // the application's panels are widgets
    app_ = std::make_unique<VelvixApp>(desktop, options);
  }
  return *app_;
}

platform::Pid TestWorld::launchWithWindows(const std::string& bundleID, const std::string& name,
                                           const std::vector<std::string>& windowTitles) {
  auto pid = desktop.launch({.bundleID = bundleID, .name = name});
  double offset = 0;
  for (const auto& title : windowTitles) {
    desktop.addWindow(pid, {.title = title, .bounds = {100 + offset, 100 + offset, 800, 600}});
    offset += 20;
  }
  return pid;
}

const SwitchableItem* TestWorld::item(const std::string& id) {
  return mru().find(id);
}

std::vector<std::string> TestWorld::itemIDs() {
  std::vector<std::string> ids;
  for (const auto& e : mru().entries()) ids.push_back(e.id);
  return ids;
}

void TestWorld::runTestProgramUnder(platform::Pid parent) {
  const auto relay = SupportFolder::path(home.path()) / ChromeHostInstaller::kRelayName;
  desktop.processes().add(::getpid(), {.parent = parent, .executablePath = relay.string()});
}

std::vector<std::string> TestWorld::healthLines() {
  log().flush();
  return logMessages(log().healthPath());
}

std::vector<std::string> TestWorld::debugLines() {
  log().flush();
  return logMessages(log().debugPath());
}

}  // namespace velvix::test
