#pragma once
// The commands the application writes back to an extension, each one compact JSON object on one
// line with its keys in a fixed order: the extensions match the text as it stands.

#include <cstdint>
#include <string>

namespace velvix::ExtensionCommand {

// {"cmd":"activate","tabId":T,"windowId":W}
std::string activate(std::int64_t tabID, std::int64_t windowID);
// {"cmd":"close","tabId":T}
std::string close(std::int64_t tabID);
// {"cmd":"move","tabId":T,"targetTabId":U}: the dragged tab T goes into the window of tab U.
std::string move(std::int64_t tabID, std::int64_t targetTabID);
// {"cmd":"sync"}: asks for a full report of the extension's windows and tabs.
std::string sync();

}  // namespace velvix::ExtensionCommand
