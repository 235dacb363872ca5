#pragma once
// The fixed table of terminal applications whose keys the editing keys may rewrite and which the
// settings list as supported: bundle identifier, name, and whether the terminal passes F13-F19 on
// to the shell. The lookup runs in the event tap, so it is one lookup in a prebuilt table.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velvix {

namespace platform {
class Workspace;
}

namespace TerminalApps {

struct Terminal {
  std::string bundleID;
  std::string name;
  bool functionKeys = false;  // F13-F19 reach the shell as escape sequences
};

// Every row, in table order.
const std::vector<Terminal>& all();
// The row of that bundle identifier (exact, case-sensitive); nothing when absent or unknown.
const Terminal* terminal(std::optional<std::string_view> bundleID);
// The rows whose application the workspace can locate, in table order.
std::vector<Terminal> installed(const platform::Workspace& workspace);

}  // namespace TerminalApps
}  // namespace velvix
