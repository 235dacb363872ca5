#pragma once
// The process's own log (standard error): for the few failures that belong to the system log
// rather than the application's diagnostic files, such as a failed login-item change.

#include <string_view>

namespace velvix {

void processLog(std::string_view message);

}  // namespace velvix
