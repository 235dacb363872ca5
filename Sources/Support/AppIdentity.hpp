#pragma once
// Who this program is on the desktop.

namespace velvix::AppIdentity {

inline constexpr const char* kBundleIdentifier = "com.kolvi.velvix";
inline constexpr const char* kName = "Velvix";

}  // namespace velvix::AppIdentity
