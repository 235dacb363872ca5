#include "TestSupport/ChromeSetupWorld.hpp"

#include <algorithm>

#include <unistd.h>

#include "Bridge/BrowserBridge.hpp"
#include "Input/EventTap.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/SupportFolder.hpp"
#include "UI/ChromeSetupPresenter.hpp"
#include "VelvixChromeHost/Shared/HostChannel.hpp"

namespace velvix::test {

namespace fs = std::filesystem;

ChromeSetupWorld::ChromeSetupWorld() {
  w.desktop.install(
      {.bundleID = "com.google.Chrome", .name = "Google Chrome", .path = "/Applications/Google Chrome.app"});
  fs::copy_file(fs::path(VELVIX_BINARY_DIR) / ChromeHostInstaller::kRelayName,
                relayOnly.path() / ChromeHostInstaller::kRelayName);
  page.onLoadUnpacked = [this](const std::string&) {
    if (!extensionConnects) return;
    // The test program stands for the extension's host, the installed relay started by the browser.
    w.desktop.processes().add(
        ::getpid(),
        {.parent = *page.browser(),
         .executablePath = (SupportFolder::path(w.home.path()) / ChromeHostInstaller::kRelayName).string()});
    extension = TestSocket::connectTo(hostchannel::socketPath(w.home.path().string()));
    extension.send(R"({"browser":"chrome","event":"hello","session":"s1"})"
                   "\n");
    w.loop.runUntil([&] { return w.services().browserBridge->isChromiumConnected(Browser::chrome); });
  };
}

std::vector<ChromeAutoInstaller::Outcome> ChromeSetupWorld::run() {
  if (!w.app) w.launch();
  installer().run(w.app->delegate().eventTap(),
                  [this](const ChromeAutoInstaller::Outcome& outcome) { outcomes.push_back(outcome); });
  for (int i = 0; i < 240 && outcomes.empty(); ++i) w.pause(0.5);
  w.pause(30);  // a second completion would come in this time
  return outcomes;
}

ChromeAutoInstaller& ChromeSetupWorld::installer() {
  return w.services().chromeSetup->installer();
}

fs::path ChromeSetupWorld::exported() const {
  return SupportFolder::path(w.home.path()) / "ChromeExtension";
}

bool ChromeSetupWorld::logged(const std::string& line) {
  const auto lines = w.debugLines();
  return std::find(lines.begin(), lines.end(), "auto-install: " + line) != lines.end();
}

}  // namespace velvix::test
