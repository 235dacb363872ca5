#include "Support/ChromeHostInstaller.hpp"

#include <algorithm>
#include <set>
#include <system_error>

#include <sys/stat.h>
#include <nlohmann/json.hpp>

#include "Platform/AppResources.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Pasteboard.hpp"
#include "Platform/Quarantine.hpp"
#include "Platform/Utf8.hpp"
#include "Platform/Workspace.hpp"
#include "Support/DebugLog.hpp"
#include "Support/SupportFolder.hpp"

namespace velvix {
namespace fs = std::filesystem;
namespace {

// The published extension, and the one the application carries ("ChromeExtension"), whose id
// is fixed by the key in its manifest: the folder the application exports and loads must be able
// to reach its host too.
constexpr const char* kExtensionIDs[2] = {"pbkhcjlmfenaiodgpcalbhefjnkmoigd",
                                          "jjmneimnnbnklignogcfiiolfmmbijoa"};

// Whether `path` is a regular file with exactly `bytes` and `mode`. The size is compared before
// the contents are read, so a file that is plainly different costs no read.
bool holds(const fs::path& path, std::string_view bytes, mode_t mode) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if ((info.st_mode & 07777) != mode || static_cast<std::size_t>(info.st_size) != bytes.size()) return false;
  return files::readAll(path) == bytes;
}

// Replaces the file atomically unless it already holds the bytes: a browser never reads half a
// manifest, an interrupted install never leaves half a relay, and a second run rewrites nothing.
std::optional<std::string> writeIfChanged(const fs::path& path, std::string_view bytes, mode_t mode) {
  if (holds(path, bytes, mode)) return std::nullopt;
  return files::writeAtomically(path, bytes, mode);
}

std::vector<std::string> sortedEntries(const fs::path& folder, bool& listed) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    names.push_back(it->path().filename().string());
  listed = !error;
  std::sort(names.begin(), names.end());
  return names;
}

bool present(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

void scan(const fs::path& folder, int depth, std::vector<fs::path>& roots) {
  if (depth < 0) return;
  bool listed = false;
  const auto names = sortedEntries(folder, listed);
  if (!listed) return;
  for (const auto& name : names) {
    if (name.starts_with('.')) continue;
    const fs::path entry = folder / name;
    std::error_code error;
    // A link is not followed: the scan stays below the folder it was given.
    if (fs::symlink_status(entry, error).type() != fs::file_type::directory || error) continue;
    if (ChromeHostInstaller::isChromiumProfileRoot(entry))
      roots.push_back(entry);
    else
      scan(entry, depth - 1, roots);
  }
}

}  // namespace

bool ChromeHostInstaller::Status::isComplete() const {
  return relayInstalled && std::all_of(hosts.begin(), hosts.end(), [](const HostFolder& h) {
           return h.manifest == HostFolder::Manifest::current;
         });
}

fs::path ChromeHostInstaller::applicationSupport() const {
  return home_ / "Library" / "Application Support";
}

fs::path ChromeHostInstaller::relayCopyPath() const {
  return SupportFolder::path(home_) / kRelayName;
}

std::optional<fs::path> ChromeHostInstaller::carriedRelay() const {
  return resources_.path(kRelayName);
}

std::vector<std::string> ChromeHostInstaller::allowedExtensionIDs() {
  std::vector<std::string> ids;
  for (const char* id : kExtensionIDs)
    if (*id) ids.emplace_back(id);
  return ids;
}

std::string ChromeHostInstaller::manifestText(const fs::path& relayPath) {
  nlohmann::json origins = nlohmann::json::array();
  for (const auto& id : allowedExtensionIDs()) origins.push_back("chrome-extension://" + id + "/");
  std::string path = relayPath.lexically_normal().string();
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  // Keys come out sorted and slashes plain; install() refuses a path that is not UTF-8 text.
  const nlohmann::json manifest{{"name", kHostName},
                                {"description", kDescription},
                                {"path", path},
                                {"type", "stdio"},
                                {"allowed_origins", std::move(origins)}};
  return manifest.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool ChromeHostInstaller::isChromiumProfileRoot(const fs::path& folder) {
  if (!present(folder / "Local State")) return false;
  std::vector<std::string> profiles{"Default"};
  bool listed = false;
  for (const auto& name : sortedEntries(folder, listed))
    if (name.starts_with("Profile ")) profiles.push_back(name);
  for (const auto& profile : profiles)
    for (const char* marker : {"History", "Web Data", "Preferences"})
      if (present(folder / profile / marker)) return true;
  return false;
}

std::vector<fs::path> ChromeHostInstaller::chromiumDataDirs(const fs::path& root) {
  std::vector<fs::path> roots;
  scan(root, kScanDepth, roots);
  return roots;
}

std::vector<ChromeHostInstaller::HostFolder> ChromeHostInstaller::hostFolders() const {
  const fs::path base = applicationSupport();
  std::vector<HostFolder> result;
  std::set<std::string> seen;
  auto add = [&](const fs::path& folder, std::optional<Browser> browser) {
    const fs::path normal = folder.lexically_normal();
    if (seen.insert(normal.string()).second) result.push_back({normal, browser});
  };
  for (Browser browser : browsers::all()) {
    if (!browsers::isChromiumFamily(browser)) continue;
    if (workspace_.applicationPaths(std::string(browsers::bundleID(browser))).empty()) continue;
    add(base / *browsers::dataDir(browser) / kHostFolderName, browser);
  }
  for (const auto& root : chromiumDataDirs(base)) add(root / kHostFolderName, std::nullopt);
  return result;
}

std::optional<std::string> ChromeHostInstaller::exportRelay() {
  const auto source = carriedRelay();
  if (!source) return std::string(kRelayMissing);
  const auto bytes = files::readAll(*source);
  if (!bytes) return "reading " + source->string() + " failed";
  if (auto error = SupportFolder::ensure(home_)) return error;
  const fs::path copy = relayCopyPath();
  if (auto error = writeIfChanged(copy, *bytes, kRelayMode)) return error;
  quarantine_.remove(copy);
  return std::nullopt;
}

std::optional<std::string> ChromeHostInstaller::install() {
  lastError_ = [&]() -> std::optional<std::string> {
    if (auto error = exportRelay()) return error;
    const fs::path relay = relayCopyPath();
    // The manifest is JSON text: a path that is not UTF-8 cannot be written into it.
    if (!utf8::isValid(relay.string())) return "the relay's path " + relay.string() + " is not UTF-8 text";
    const std::string text = manifestText(relay);
    // One browser's folder that cannot be written must not cost the browsers after it their
    // manifests: every folder is tried, and the first failure is reported at the end.
    std::optional<std::string> firstError;
    for (const auto& host : hostFolders()) {
      auto error = files::createFolders(host.folder, kHostFolderMode);
      if (!error) error = writeIfChanged(host.folder / kManifestFileName, text, kManifestMode);
      if (error && !firstError) firstError = std::move(error);
    }
    return firstError;
  }();
  if (lastError_) log_.log("chrome host install failed: " + *lastError_);
  return lastError_;
}

bool ChromeHostInstaller::revealExtension() {
  (void)install();  // the folder is worth showing even when a manifest could not be written
  auto folder = exportExtension();
  if (!folder) return false;
  std::string path = folder->lexically_normal().string();
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  workspace_.activateFileViewerSelecting({path});
  pasteboard_.setString(path);
  return true;
}

std::optional<fs::path> ChromeHostInstaller::exportExtension(std::string* error) {
  const auto source = resources_.path(kExtensionName);
  if (!source || !present(*source / "manifest.json")) return std::nullopt;
  auto fail = [&](std::string text) -> std::optional<fs::path> {
    if (error) *error = std::move(text);
    return std::nullopt;
  };
  if (auto created = SupportFolder::ensure(home_)) return fail(*created);
  // Copied beside the old copy first, so a failed copy leaves the old one whole, then swapped in,
  // so the folder the browser loads is there at every moment.
  const fs::path destination = SupportFolder::path(home_) / kExtensionName;
  const fs::path staging = destination.parent_path() / ("." + std::string(kExtensionName) + ".new");
  const fs::path retiring = destination.parent_path() / ("." + std::string(kExtensionName) + ".old");
  std::error_code code;
  fs::remove_all(staging, code);  // what an interrupted run left
  fs::remove_all(retiring, code);
  code.clear();
  fs::copy(*source, staging, fs::copy_options::recursive, code);
  if (code) {
    fs::remove_all(staging, code);
    return fail("copying " + source->string() + " failed: " + code.message());
  }
  std::optional<std::string> failure;
  if (present(destination)) {
    failure = files::swapIn(staging, destination, retiring);
  } else {
    fs::rename(staging, destination, code);
    if (code) failure = "renaming " + staging.string() + " failed: " + code.message();
  }
  fs::remove_all(staging, code);
  fs::remove_all(retiring, code);
  if (failure) return fail(*failure);
  return destination;
}

ChromeHostInstaller::Status ChromeHostInstaller::status() const {
  Status status;
  const auto source = carriedRelay();
  status.relayCarried = source.has_value();
  if (source)
    if (const auto bytes = files::readAll(*source))
      status.relayInstalled = holds(relayCopyPath(), *bytes, kRelayMode);
  const std::string text = manifestText(relayCopyPath());
  for (auto host : hostFolders()) {
    const fs::path manifest = host.folder / kManifestFileName;
    host.manifest = holds(manifest, text, kManifestMode) ? HostFolder::Manifest::current
                    : present(manifest)                  ? HostFolder::Manifest::outdated
                                                         : HostFolder::Manifest::missing;
    status.hosts.push_back(std::move(host));
  }
  status.lastError = lastError_;
  return status;
}

}  // namespace velvix
