#pragma once
// The handler's log, standing in for the system's unified log: subsystem
// "com.kolvi.velvix.SafariExtension", category "relay", one line per entry on standard error.

#include <string_view>

namespace velvix::safari {

enum class LogLevel { info, error };

void relayLog(LogLevel level, std::string_view text);

}  // namespace velvix::safari
