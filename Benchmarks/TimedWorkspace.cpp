#include "TimedWorkspace.hpp"

#include <type_traits>

#include "LatencySamples.hpp"

namespace velvix::bench {

using platform::Pid;
using platform::RunningApplication;

// The answer is made inside the bracket and handed out after it; what the caller does with it
// (and freeing it) is the caller's.
template <typename Call>
auto TimedWorkspace::timed(Call call) const {
  ++calls_;
  const auto start = LatencySamples::wallNow();
  if constexpr (std::is_void_v<decltype(call())>) {
    call();
    spentWall_ += LatencySamples::wallNow() - start;
  } else {
    auto result = call();
    spentWall_ += LatencySamples::wallNow() - start;
    return result;
  }
}

std::vector<RunningApplication> TimedWorkspace::runningApplications() const {
  return timed([&] { return inner_.runningApplications(); });
}

std::vector<RunningApplication> TimedWorkspace::runningApplications(const std::string& bundleID) const {
  return timed([&] { return inner_.runningApplications(bundleID); });
}

std::optional<RunningApplication> TimedWorkspace::application(Pid pid) const {
  return timed([&] { return inner_.application(pid); });
}

bool TimedWorkspace::forceTerminate(Pid pid) {
  return timed([&] { return inner_.forceTerminate(pid); });
}

bool TimedWorkspace::isTerminated(Pid pid) const {
  return timed([&] { return inner_.isTerminated(pid); });
}

std::optional<RunningApplication> TimedWorkspace::frontmostApplication() const {
  return timed([&] { return inner_.frontmostApplication(); });
}

bool TimedWorkspace::activate(Pid pid) {
  return timed([&] { return inner_.activate(pid); });
}

bool TimedWorkspace::isActive(Pid pid) const {
  return timed([&] { return inner_.isActive(pid); });
}

std::vector<std::string> TimedWorkspace::applicationPaths(const std::string& bundleID) const {
  return timed([&] { return inner_.applicationPaths(bundleID); });
}

void TimedWorkspace::openApplication(const std::string& path, bool activates,
                                     std::function<void(std::optional<RunningApplication>)> completion) {
  timed([&] { inner_.openApplication(path, activates, std::move(completion)); });
}

bool TimedWorkspace::openURL(const std::string& url) {
  return timed([&] { return inner_.openURL(url); });
}

void TimedWorkspace::activateFileViewerSelecting(const std::vector<std::string>& paths) {
  timed([&] { inner_.activateFileViewerSelecting(paths); });
}

RGBAImage TimedWorkspace::iconForFile(const std::string& path) const {
  return timed([&] { return inner_.iconForFile(path); });
}

RGBAImage TimedWorkspace::applicationIcon(Pid pid) const {
  return timed([&] { return inner_.applicationIcon(pid); });
}

RGBAImage TimedWorkspace::genericApplicationIcon() const {
  return timed([&] { return inner_.genericApplicationIcon(); });
}

std::string TimedWorkspace::operatingSystemVersion() const {
  return timed([&] { return inner_.operatingSystemVersion(); });
}

std::string TimedWorkspace::ownBundleIdentifier() const {
  return timed([&] { return inner_.ownBundleIdentifier(); });
}

Pid TimedWorkspace::ownPid() const {
  return timed([&] { return inner_.ownPid(); });
}

void TimedWorkspace::setOwnActivationPolicy(platform::ActivationPolicy policy) {
  timed([&] { inner_.setOwnActivationPolicy(policy); });
}

std::unique_ptr<platform::ActivityToken> TimedWorkspace::beginActivity(std::uint64_t options,
                                                                       const std::string& reason) {
  return timed([&] { return inner_.beginActivity(options, reason); });
}

}  // namespace velvix::bench
