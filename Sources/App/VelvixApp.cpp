#include "App/VelvixApp.hpp"

#include "Bridge/AXWindowBridge.hpp"
#include "Core/Preferences.hpp"
#include "Platform/Linux/JsonFileDefaults.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/Simulated/MemoryDefaults.hpp"
#include "Platform/Simulated/SimAccessibility.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimLoginItems.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "Support/AppIdentity.hpp"
#include "Support/DebugLog.hpp"
#include "Support/ProcessLog.hpp"
#include "Support/SupportFolder.hpp"
#include "Support/WindowList.hpp"

namespace velvix {

std::filesystem::path VelvixApp::settingsFile(const std::filesystem::path& home) {
  return home / "Library" / "Preferences" / (std::string(AppIdentity::kBundleIdentifier) + ".json");
}

VelvixApp::VelvixApp(platform::MainLoop& loop, sim::SimDesktop& desktop, VelvixAppOptions options) {
  if (desktop.selfPid() == 0) desktop.launchSelf(AppIdentity::kBundleIdentifier, AppIdentity::kName);

  if (options.persistentSettings) {
    defaults_ = std::make_unique<platform::JsonFileDefaults>(settingsFile(options.home),
                                                             [](const std::string& line) { processLog(line); });
  } else {
    defaults_ = std::make_unique<sim::MemoryDefaults>();
  }
  notifications_ = std::make_unique<platform::NotificationCenter>();

  services_.loop = &loop;
  services_.defaults = defaults_.get();
  services_.notifications = notifications_.get();
  services_.workspace = &desktop.workspace();
  services_.loginItems = &desktop.loginItems();
  services_.windowServer = &desktop.windowServer();
  services_.accessibility = &desktop.accessibility();
  services_.home = options.home;

  log_ = std::make_unique<DebugLog>(SupportFolder::path(options.home), *defaults_, loop);
  services_.log = log_.get();
  ax_ = std::make_unique<AXWindowBridge>(desktop.accessibility(), loop);
  services_.ax = ax_.get();
  windows_ = std::make_unique<WindowList>(desktop.windowServer(), desktop.workspace(), *ax_);
  services_.windows = windows_.get();
  preferences_ = std::make_unique<Preferences>(*defaults_, *notifications_, desktop.loginItems());
  services_.preferences = preferences_.get();

  delegate_ = std::make_unique<AppDelegate>(services_);
}

VelvixApp::~VelvixApp() {
  delegate_.reset();
  if (log_) log_->flush();
}

}  // namespace velvix
