#pragma once
// Which application a process connected to the socket belongs to, found by walking its ancestry:
// a relay is a child of the Chromium-family browser that started it, an editor's extension host a
// descendant of the editor. Stateless: the peers' process table (`ProcessTable::peers`), and where
// that is the simulated one, the running applications and the bundles on disk, are asked through
// Services, which must hold processes, workspace and bundles (log is optional: it only takes the
// one diagnostic line). A real peer is walked through the kernel's table only, and known only by
// the executable of an ancestor (`ProcessTable::bundleIdentifier`).

#include <filesystem>
#include <optional>

#include "Platform/Workspace.hpp"
#include "Support/Browser.hpp"

namespace velvix {

struct Services;

namespace ProcessLineage {

// Processes examined at most: the peer and its ancestors.
inline constexpr int kEditorWalk = 10;
inline constexpr int kRelayWalk = 6;

// The editor whose application encloses the extension host process, or nothing.
std::optional<Browser> editor(const Services& services, platform::Pid extensionHost);
// The Chromium-family browser whose application started the relay process, or nothing.
std::optional<Browser> chromiumBrowser(const Services& services, platform::Pid relay);

// The nearest application bundle ("<Name>.app") that holds the executable, or nothing.
std::optional<std::filesystem::path> enclosingApp(const std::filesystem::path& executable);

}  // namespace ProcessLineage
}  // namespace velvix
