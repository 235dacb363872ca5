#pragma once
// Which application a process connected to the socket belongs to, found by walking its ancestry:
// a relay is a process running our relay program whose parent is the Chromium-family browser that
// started it, an editor's extension host a descendant of the editor. Stateless: the peers' process
// table (`ProcessTable::peers`), and where that is the simulated one, the running applications
// (`workspace`) and the bundles on disk (`bundles`), are asked. A real peer is walked through the
// kernel's table only, and known only by the executable of an ancestor
// (`ProcessTable::bundleIdentifier`).

#include <filesystem>
#include <optional>
#include <vector>

#include "Platform/Workspace.hpp"
#include "Support/Browser.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class BundleReader;
class ProcessTable;
}  // namespace platform

namespace ProcessLineage {

// Processes examined at most: an editor's host and its ancestors; an accepted relay and the
// ancestors among which its browser's main process is looked for (the check itself asks the
// relay's parent alone).
inline constexpr int kEditorWalk = 10;
inline constexpr int kRelayWalk = 6;

// The editor whose application encloses the extension host process, or nothing.
std::optional<Browser> editor(const platform::ProcessTable& processes, const platform::Workspace& workspace,
                              const platform::BundleReader& bundles, platform::Pid extensionHost);
// The Chromium-family browser that started the relay process, or nothing. The process itself must
// run one of `relayPrograms` (the copy we install, the build's own) and its parent must be a listed
// browser's program: a process that connects and then becomes, or starts, a browser's program is
// no relay. `log` takes the line that explains a Chromium-built browser that is not listed.
std::optional<Browser> chromiumBrowser(const platform::ProcessTable& processes,
                                       const platform::Workspace& workspace,
                                       const platform::BundleReader& bundles, DebugLog& log,
                                       platform::Pid relay,
                                       const std::vector<std::filesystem::path>& relayPrograms);

// Whether the process runs one of `relayPrograms`, as the peers' table shows its executable. Safe
// on any thread, as the process tables are.
bool runsRelay(const platform::ProcessTable& processes, platform::Pid pid,
               const std::vector<std::filesystem::path>& relayPrograms);

// The nearest application bundle ("<Name>.app") that holds the executable, or nothing.
std::optional<std::filesystem::path> enclosingApp(const std::filesystem::path& executable);

}  // namespace ProcessLineage
}  // namespace velvix
