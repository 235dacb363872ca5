#pragma once
// A workspace in front of another that counts the time spent inside it, on the monotonic clock:
// the simulated workspace stands in for the system's list of applications, and what its lookups
// cost is the stand-in's, not Velvix's. Benchmarks put it in front of the simulated desktop's and
// subtract what it measured, as they do with TimedWindowServer.

#include <cstdint>

#include "Platform/Workspace.hpp"

namespace velvix::bench {

class TimedWorkspace final : public platform::Workspace {
 public:
  explicit TimedWorkspace(platform::Workspace& inner) : inner_(inner) {}

  // Nanoseconds (monotonic clock) spent inside the wrapped workspace so far, and the calls made.
  std::int64_t spentWall() const { return spentWall_; }
  std::int64_t calls() const { return calls_; }

  std::vector<platform::RunningApplication> runningApplications() const override;
  std::vector<platform::RunningApplication> runningApplications(const std::string& bundleID) const override;
  std::optional<platform::RunningApplication> application(platform::Pid pid) const override;
  bool forceTerminate(platform::Pid pid) override;
  bool isTerminated(platform::Pid pid) const override;
  std::optional<platform::RunningApplication> frontmostApplication() const override;
  bool activate(platform::Pid pid) override;
  bool isActive(platform::Pid pid) const override;
  std::vector<std::string> applicationPaths(const std::string& bundleID) const override;
  void openApplication(const std::string& path, bool activates,
                       std::function<void(std::optional<platform::RunningApplication>)> completion) override;
  bool openURL(const std::string& url) override;
  void activateFileViewerSelecting(const std::vector<std::string>& paths) override;
  platform::NotificationCenter& notificationCenter() override { return inner_.notificationCenter(); }
  RGBAImage iconForFile(const std::string& path) const override;
  RGBAImage applicationIcon(platform::Pid pid) const override;
  RGBAImage genericApplicationIcon() const override;
  std::string operatingSystemVersion() const override;
  std::string ownBundleIdentifier() const override;
  platform::Pid ownPid() const override;
  void setOwnActivationPolicy(platform::ActivationPolicy policy) override;
  std::unique_ptr<platform::ActivityToken> beginActivity(std::uint64_t options,
                                                         const std::string& reason) override;

 private:
  template <typename Call>
  auto timed(Call call) const;

  platform::Workspace& inner_;
  mutable std::int64_t spentWall_ = 0;
  mutable std::int64_t calls_ = 0;
};

}  // namespace velvix::bench
