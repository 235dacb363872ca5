#include "TestSupport/TestWorld.hpp"

#include <fstream>

#include "Support/AppIdentity.hpp"
#include "Support/SupportFolder.hpp"

namespace velvix::test {
namespace {

std::vector<std::string> messagesOf(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    auto space = line.find(' ');
    lines.push_back(space == std::string::npos ? line : line.substr(space + 1));
  }
  return lines;
}

}  // namespace

TestWorld::TestWorld() {
  desktop.launchSelf(AppIdentity::kBundleIdentifier, AppIdentity::kName);
  services_.loop = &loop;
  services_.defaults = &defaults;
  services_.notifications = &notifications;
  services_.workspace = &desktop.workspace();
  services_.loginItems = &desktop.loginItems();
  services_.windowServer = &desktop.windowServer();
  services_.accessibility = &desktop.accessibility();
  services_.home = home.path();
  services_.ax = &ax;
  services_.windows = &windows;
}

TestWorld::~TestWorld() {
  if (log_) log_->flush();
}

DebugLog& TestWorld::log() {
  if (!log_) {
    log_ = std::make_unique<DebugLog>(SupportFolder::path(home.path()), defaults, loop);
    services_.log = log_.get();
  }
  return *log_;
}

Preferences& TestWorld::preferences() {
  if (!preferences_) {
    preferences_ = std::make_unique<Preferences>(defaults, notifications, desktop.loginItems());
    services_.preferences = preferences_.get();
  }
  return *preferences_;
}

Services& TestWorld::services() {
  log();
  preferences();
  return services_;
}

std::vector<std::string> TestWorld::healthLines() {
  log().flush();
  return messagesOf(log_->healthPath());
}

std::vector<std::string> TestWorld::debugLines() {
  log().flush();
  return messagesOf(log_->debugPath());
}

}  // namespace velvix::test
