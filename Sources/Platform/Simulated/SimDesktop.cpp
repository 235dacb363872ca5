#include "Platform/Simulated/SimDesktop.hpp"

#include <algorithm>

#include "Platform/Simulated/SimLoginItems.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"

namespace velvix::sim {

using platform::Pid;

SimDesktop::SimDesktop(platform::MainLoop& loop)
    : loop_(loop),
      activities_(std::make_shared<std::vector<std::string>>()),
      workspace_(std::make_unique<SimWorkspace>(*this)),
      loginItems_(std::make_unique<SimLoginItems>()) {}

SimDesktop::~SimDesktop() = default;

Pid SimDesktop::launch(const AppSpec& spec) {
  Pid pid = spec.pid.value_or(nextPid_);
  nextPid_ = std::max(nextPid_, pid) + 1;
  auto app = std::make_unique<SimApp>();
  app->pid = pid;
  if (!spec.bundleID.empty()) app->bundleID = spec.bundleID;
  if (!spec.name.empty()) app->name = spec.name;
  app->bundlePath = "/Applications/" + (spec.name.empty() ? spec.bundleID : spec.name) + ".app";
  app->activationPolicy = spec.activationPolicy;
  app->ignoresTermination = spec.ignoresTermination;
  app->quitDelay = spec.quitDelay;
  apps_[pid] = std::move(app);
  return pid;
}

Pid SimDesktop::launchSelf(const std::string& bundleID, const std::string& name) {
  AppSpec spec;
  spec.bundleID = bundleID;
  spec.name = name;
  selfPid_ = launch(spec);
  return selfPid_;
}

void SimDesktop::terminate(Pid pid) {
  if (auto* a = app(pid)) a->terminated = true;
}

SimApp* SimDesktop::app(Pid pid) {
  auto it = apps_.find(pid);
  return it == apps_.end() ? nullptr : it->second.get();
}

const SimApp* SimDesktop::app(Pid pid) const {
  auto it = apps_.find(pid);
  return it == apps_.end() ? nullptr : it->second.get();
}

std::vector<const SimApp*> SimDesktop::apps() const {
  std::vector<const SimApp*> result;
  for (const auto& [pid, app] : apps_)
    if (!app->terminated) result.push_back(app.get());
  return result;
}

std::vector<std::string> SimDesktop::activeActivities() const { return *activities_; }

}  // namespace velvix::sim
