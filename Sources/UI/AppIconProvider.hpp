#pragma once
// Where the HUD gets application icons: a lookup from a bundle id (and, for a running
// application, its process id) to a picture, or nothing when it has none to give. The HUD draws
// a plain generated icon in place of a missing one.

#include <functional>
#include <optional>
#include <string>

#include "Platform/RGBAImage.hpp"
#include "Platform/Workspace.hpp"

namespace velvix {

using AppIconProvider =
    std::function<std::optional<RGBAImage>(const std::string& bundleID, std::optional<platform::Pid> pid)>;

}  // namespace velvix
