#pragma once
// Keeps the editor extension the application carries (the resource folder "VSCodeExtension")
// installed in the extension folders of the VS Code-family editors while editor tab tracking is
// on, and removes it when it is off. It copies a folder; it never edits an editor's settings or
// registry. A copy goes into a hidden sibling first and is then swapped in, so a failed copy
// never leaves an editor without its earlier one. It copies again only when the setting changed
// or an installed copy is missing or out of date, not on every settings write. Main thread only.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/NotificationCenter.hpp"
#include "Support/Setting.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class AppResources;
class MainLoop;
}  // namespace platform

class VSCodeExtensionInstaller {
 public:
  static constexpr const char* kResourceName = "VSCodeExtension";
  static constexpr const char* kFolderName = "velvix.velvix-1.0.1";
  static constexpr const char* kVersionPrefix = "velvix.velvix-";
  // Hidden names (editors skip entries that begin with a dot) for a copy in progress and for the
  // copy it replaces, while the two are swapped.
  static constexpr const char* kStagingName = ".velvix.velvix-1.0.1.incoming";
  static constexpr const char* kRetiringName = ".velvix.velvix-1.0.1.outgoing";
  // The editors' extension folders under the home folder, in order.
  static constexpr const char* kTargets[10] = {".vscode/extensions",      ".vscode-insiders/extensions",
                                               ".vscode-oss/extensions",  ".cursor/extensions",
                                               ".windsurf/extensions",    ".kiro/extensions",
                                               ".trae/extensions",        ".trae-cn/extensions",
                                               ".void-editor/extensions", ".positron/extensions"};

  // Copies what `resources` carries into the editors' folders under `home` while
  // `vscodeTabsEnabled` is on; `notifications` tells of every settings change (observed on `loop`),
  // and each copy's outcome goes to `log`.
  VSCodeExtensionInstaller(platform::AppResources& resources, const Setting<bool>& vscodeTabsEnabled,
                           platform::NotificationCenter& notifications, platform::MainLoop& loop,
                           DebugLog& log, std::filesystem::path home)
      : resources_(resources),
        vscodeTabsEnabled_(vscodeTabsEnabled),
        notifications_(notifications),
        loop_(loop),
        log_(log),
        home_(std::move(home)) {}
  VSCodeExtensionInstaller(const VSCodeExtensionInstaller&) = delete;
  VSCodeExtensionInstaller& operator=(const VSCodeExtensionInstaller&) = delete;

  // Installs or uninstalls by `vscodeTabsEnabled` now, and again when a settings write needs it.
  void reconcileAtLaunch();
  // Copies the extension into every existing target; true when at least one copy succeeded.
  bool install();
  // Removes every installed version from every existing target.
  void uninstall();
  bool isInstalled() const;
  // The editors' extension folders that exist (nothing is created).
  std::vector<std::filesystem::path> targets() const;
  // Whether every existing target holds an exact copy of the carried extension.
  bool isUpToDate() const;

 private:
  void reconcile();
  void removeOldVersions(const std::filesystem::path& folder) const;
  std::optional<std::filesystem::path> source() const;
  // Copies into one target; an error text on failure (the earlier copy then stays).
  std::optional<std::string> installInto(const std::filesystem::path& folder,
                                         const std::filesystem::path& from);
  const std::map<std::string, std::string>* sourceFiles() const;

  platform::AppResources& resources_;
  const Setting<bool>& vscodeTabsEnabled_;
  platform::NotificationCenter& notifications_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  const std::filesystem::path home_;
  std::optional<bool> appliedEnabled_;
  mutable std::optional<std::map<std::string, std::string>> sourceFiles_;
  platform::NotificationCenter::Observation preferencesObservation_;
};

}  // namespace velvix
