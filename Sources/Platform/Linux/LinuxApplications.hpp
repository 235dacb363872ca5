#pragma once
// Applications that Linux packages install as plain programs rather than bundles, known by their
// executable: the bundle identifier the rest of the system uses for each, so that a browser
// started from its package is the same browser the bridge's tables name.

#include <optional>
#include <string>
#include <string_view>

namespace velvix::platform::LinuxApplications {

// The bundle identifier of the application whose program is `executable`, or nothing.
std::optional<std::string> bundleIdentifier(std::string_view executable);

}  // namespace velvix::platform::LinuxApplications
