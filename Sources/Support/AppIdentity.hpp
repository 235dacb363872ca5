#pragma once
// Who this program is on the desktop.

#include <string>

namespace velvix::AppIdentity {

inline constexpr const char* kBundleIdentifier = "com.kolvi.velvix";
inline constexpr const char* kName = "Velvix";
inline constexpr const char* kVersion = "1.0.0";  // the short version string
inline constexpr const char* kBuild = "1";        // the bundle version

// "Velvix 1.0.0 (1)", as About and --version name this build.
inline std::string nameAndVersion() {
  return std::string(kName) + " " + kVersion + " (" + kBuild + ")";
}

}  // namespace velvix::AppIdentity
