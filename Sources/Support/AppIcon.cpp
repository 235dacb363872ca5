#include "Support/AppIcon.hpp"

#include <filesystem>

#include "Platform/BundleReader.hpp"

namespace velvix {

bool AppIcon::hasOwnIcon(const std::string& bundlePath) const {
  if (std::filesystem::path(bundlePath).extension() != ".app") return false;
  for (const char* key : {"CFBundleIconFile", "CFBundleIconName"}) {
    auto name = bundles_.infoString(bundlePath, key);
    if (name && !name->empty()) return true;
  }
  return false;
}

RGBAImage AppIcon::icon(const std::string& bundleID, std::optional<platform::Pid> pid) const {
  const platform::Workspace& workspace = workspace_;
  std::optional<platform::RunningApplication> running;
  if (pid) running = workspace.application(*pid);
  if (running && running->bundlePath && hasOwnIcon(*running->bundlePath))
    return workspace.applicationIcon(running->pid);
  const auto paths = workspace.applicationPaths(bundleID);
  for (const auto& path : paths)
    if (hasOwnIcon(path)) return workspace.iconForFile(path);
  if (running) return workspace.applicationIcon(running->pid);
  if (paths.empty()) return workspace.genericApplicationIcon();
  return workspace.iconForFile(paths.front());
}

}  // namespace velvix
