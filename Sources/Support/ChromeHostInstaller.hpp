#pragma once
// Makes the Chromium relay reachable from every Chromium-family browser of the user: copies the
// relay program the application carries into the support folder, and writes the native-messaging
// host manifest that names that copy into the "NativeMessagingHosts" folder of each installed
// browser's data folder and of every browser profile root found under "Library/Application
// Support". Every file is replaced atomically, and only when it is not already right, so running
// it again (at launch, on a browser's first launch) is cheap and changes nothing that is right.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "Support/Browser.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class AppResources;
class Pasteboard;
class Quarantine;
class Workspace;
}  // namespace platform

class ChromeHostInstaller {
 public:
  static constexpr const char* kHostName = "com.kolvi.velvix";
  static constexpr const char* kManifestFileName = "com.kolvi.velvix.json";
  static constexpr const char* kHostFolderName = "NativeMessagingHosts";
  static constexpr const char* kRelayName = "velvix_chrome_host";
  static constexpr const char* kExtensionName = "ChromeExtension";
  static constexpr const char* kDescription = "Velvix switcher bridge";
  static constexpr const char* kRelayMissing = "Relay binary missing from app bundle.";
  static constexpr mode_t kRelayMode = 0755;
  static constexpr mode_t kManifestMode = 0644;
  static constexpr mode_t kHostFolderMode = 0755;
  // How deep below "Library/Application Support" profile roots are looked for (three levels).
  static constexpr int kScanDepth = 2;

  // One host folder and the state of the manifest in it.
  struct HostFolder {
    enum class Manifest { current, missing, outdated };
    std::filesystem::path folder;
    std::optional<Browser> browser;  // when it is a listed browser's data folder
    Manifest manifest = Manifest::missing;
  };
  // What the settings and set-up windows show of the installation.
  struct Status {
    bool relayCarried = false;    // the application has a relay to install
    bool relayInstalled = false;  // the support folder's copy is the carried relay, runnable
    std::vector<HostFolder> hosts;
    std::optional<std::string> lastError;  // of the latest install() in this run
    bool isComplete() const;
  };

  // Installs into `home` what `resources` carries; `workspace` tells which browsers are installed
  // and shows the exported folder, `pasteboard` takes its path, `quarantine` is lifted from the relay
  // copy, and a failed install goes to `log`.
  ChromeHostInstaller(platform::AppResources& resources, platform::Workspace& workspace,
                      platform::Quarantine& quarantine, platform::Pasteboard& pasteboard, DebugLog& log,
                      std::filesystem::path home)
      : resources_(resources),
        workspace_(workspace),
        quarantine_(quarantine),
        pasteboard_(pasteboard),
        log_(log),
        home_(std::move(home)) {}
  ChromeHostInstaller(const ChromeHostInstaller&) = delete;
  ChromeHostInstaller& operator=(const ChromeHostInstaller&) = delete;

  // Installs the relay copy, then the manifest in every host folder in order; stops at the first
  // failure and gives its text (what was installed before stays). Nothing when all is in place.
  std::optional<std::string> install();
  // Copies the unpacked extension the application carries into the support folder. Its path;
  // nothing when the application carries none or it cannot be copied (then `error` says why).
  std::optional<std::filesystem::path> exportExtension(std::string* error = nullptr);
  Status status() const;
  // Installs the host (its error dropped), exports the extension, shows the exported folder
  // selected in the file manager and puts its path on the clipboard; false when the extension
  // cannot be exported.
  bool revealExtension();

  std::filesystem::path relayCopyPath() const;
  // The host folders, listed browsers (installed ones) first, without duplicates. Nothing is
  // created; the folders need not exist.
  std::vector<HostFolder> hostFolders() const;
  // The manifest naming the relay at `relayPath`: sorted keys, pretty-printed, plain slashes.
  static std::string manifestText(const std::filesystem::path& relayPath);
  static std::vector<std::string> allowedExtensionIDs();
  // Chromium profile roots below `root`, at most kScanDepth + 1 levels down, never one inside another.
  static std::vector<std::filesystem::path> chromiumDataDirs(const std::filesystem::path& root);
  // A folder with "Local State" and a profile ("Default" or "Profile <n>") that holds history,
  // web data or preferences.
  static bool isChromiumProfileRoot(const std::filesystem::path& folder);

 private:
  std::optional<std::filesystem::path> carriedRelay() const;
  std::optional<std::string> exportRelay();
  std::filesystem::path applicationSupport() const;

  platform::AppResources& resources_;
  platform::Workspace& workspace_;
  platform::Quarantine& quarantine_;
  platform::Pasteboard& pasteboard_;
  DebugLog& log_;
  const std::filesystem::path home_;
  std::optional<std::string> lastError_;
};

}  // namespace velvix
