#pragma once
// Which application a process connected to the socket belongs to, found by walking its ancestry:
// a relay is a child of the Chromium-family browser that started it, an editor's extension host a
// descendant of the editor. Stateless: the peers' process table (`ProcessTable::peers`), and where
// that is the simulated one, the running applications (`workspace`) and the bundles on disk
// (`bundles`), are asked. A real peer is walked through the kernel's table only, and known only by
// the executable of an ancestor (`ProcessTable::bundleIdentifier`).

#include <filesystem>
#include <optional>

#include "Platform/Workspace.hpp"
#include "Support/Browser.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class BundleReader;
class ProcessTable;
}  // namespace platform

namespace ProcessLineage {

// Processes examined at most: the peer and its ancestors.
inline constexpr int kEditorWalk = 10;
inline constexpr int kRelayWalk = 6;

// The editor whose application encloses the extension host process, or nothing.
std::optional<Browser> editor(const platform::ProcessTable& processes, const platform::Workspace& workspace,
                              const platform::BundleReader& bundles, platform::Pid extensionHost);
// The Chromium-family browser whose application started the relay process, or nothing; `log` takes
// the line that explains a Chromium-built browser that is not listed.
std::optional<Browser> chromiumBrowser(const platform::ProcessTable& processes,
                                       const platform::Workspace& workspace,
                                       const platform::BundleReader& bundles, DebugLog& log,
                                       platform::Pid relay);

// The nearest application bundle ("<Name>.app") that holds the executable, or nothing.
std::optional<std::filesystem::path> enclosingApp(const std::filesystem::path& executable);

}  // namespace ProcessLineage
}  // namespace velvix
