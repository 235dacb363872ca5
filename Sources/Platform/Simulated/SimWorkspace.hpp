#pragma once
// The workspace facade of the simulated desktop.

#include <map>
#include <mutex>

#include "Platform/Workspace.hpp"

namespace velvix::sim {

class SimDesktop;

class SimWorkspace final : public platform::Workspace {
 public:
  explicit SimWorkspace(SimDesktop& desktop) : desktop_(desktop) {}

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
  platform::NotificationCenter& notificationCenter() override;
  RGBAImage iconForFile(const std::string& path) const override;
  RGBAImage applicationIcon(platform::Pid pid) const override;
  RGBAImage genericApplicationIcon() const override;
  std::string operatingSystemVersion() const override { return "14.5 (simulated desktop)"; }
  std::string ownBundleIdentifier() const override;
  platform::Pid ownPid() const override;
  void setOwnActivationPolicy(platform::ActivationPolicy policy) override;
  std::unique_ptr<platform::ActivityToken> beginActivity(std::uint64_t options,
                                                         const std::string& reason) override;

 private:
  SimDesktop& desktop_;
  // Each bundle's icon is drawn once: the Dock strip asks for them every frame.
  mutable std::mutex iconsMutex_;
  mutable std::map<std::string, RGBAImage> icons_;
};

}  // namespace velvix::sim
