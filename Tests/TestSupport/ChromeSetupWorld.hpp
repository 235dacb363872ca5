#pragma once
// The application over a simulated desktop with Google Chrome installed, for tests of the
// automatic extension set-up: the browser's extensions page is at hand, and an extension that the
// page loads connects to the application's real socket from "inside" the browser.

#include <filesystem>
#include <string>
#include <vector>

#include "Platform/Simulated/SimExtensionsPage.hpp"
#include "Support/ChromeAutoInstaller.hpp"
#include "TestSupport/AppWorld.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/TestSocket.hpp"

namespace velvix::test {

struct ChromeSetupWorld {
  ChromeSetupWorld();

  // Runs the installer to its end (bounded in virtual time), keeping every completion.
  std::vector<ChromeAutoInstaller::Outcome> run();
  ChromeAutoInstaller& installer();
  std::filesystem::path exported() const;
  bool logged(const std::string& line);  // an "auto-install: " line of the debug log

  AppWorld w;
  sim::SimExtensionsPage& page = w.desktop.extensionsPage();
  bool extensionConnects = true;
  TestSocket extension;
  std::vector<ChromeAutoInstaller::Outcome> outcomes;
  TempFolder relayOnly;  // the application's resources without the extension
};

}  // namespace velvix::test
