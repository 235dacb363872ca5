#pragma once
// The icon to draw for an entry. An application bundle that carries an icon of its own is preferred
// over auxiliary bundles (helpers, agents) that share its bundle identifier and show a generic one.

#include <optional>
#include <string>

#include "Platform/RGBAImage.hpp"
#include "Platform/Workspace.hpp"

namespace velvix {

namespace platform {
class BundleReader;
}

class AppIcon {
 public:
  AppIcon(const platform::Workspace& workspace, const platform::BundleReader& bundles)
      : workspace_(workspace), bundles_(bundles) {}
  // Always an image.
  RGBAImage icon(const std::string& bundleID, std::optional<platform::Pid> pid) const;
  // An ".app" bundle whose info dictionary names an icon file or icon.
  bool hasOwnIcon(const std::string& bundlePath) const;

 private:
  const platform::Workspace& workspace_;
  const platform::BundleReader& bundles_;
};

}  // namespace velvix
