#pragma once
// Who this program is on the desktop.

namespace velvix::AppIdentity {

inline constexpr const char* kBundleIdentifier = "com.kolvi.velvix";
inline constexpr const char* kName = "Velvix";
inline constexpr const char* kVersion = "1.0.0";  // the short version string
inline constexpr const char* kBuild = "1";        // the bundle version

}  // namespace velvix::AppIdentity
