#include "Support/VSCodeExtensionInstaller.hpp"

#include <system_error>

#include "Platform/AppResources.hpp"
#include "Platform/Linux/Files.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {
namespace fs = std::filesystem;
namespace {

bool present(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// Every regular file below `folder` with its bytes; nothing when something else is there or a
// file cannot be read.
std::optional<std::map<std::string, std::string>> filesBelow(const fs::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const auto type = it->symlink_status(error).type();
    if (type == fs::file_type::directory) continue;
    if (type != fs::file_type::regular) return std::nullopt;
    auto bytes = files::readAll(it->path());
    if (!bytes) return std::nullopt;
    files[fs::relative(it->path(), folder).string()] = std::move(*bytes);
  }
  if (error) return std::nullopt;
  return files;
}

}  // namespace

std::optional<fs::path> VSCodeExtensionInstaller::source() const {
  return resources_.path(kResourceName);
}

const std::map<std::string, std::string>* VSCodeExtensionInstaller::sourceFiles() const {
  // The carried extension does not change while the application runs.
  if (!sourceFiles_)
    if (const auto from = source())
      if (auto files = filesBelow(*from)) sourceFiles_ = std::move(*files);
  return sourceFiles_ ? &*sourceFiles_ : nullptr;
}

std::vector<fs::path> VSCodeExtensionInstaller::targets() const {
  std::vector<fs::path> folders;
  for (const char* relative : kTargets)
    if (present(home_ / relative)) folders.push_back(home_ / relative);
  return folders;
}

void VSCodeExtensionInstaller::removeOldVersions(const fs::path& folder) const {
  std::error_code error;
  std::vector<fs::path> old;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.starts_with(kVersionPrefix) && name != kFolderName) old.push_back(it->path());
  }
  for (const auto& path : old) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
}

std::optional<std::string> VSCodeExtensionInstaller::installInto(const fs::path& folder,
                                                                 const fs::path& from) {
  const fs::path destination = folder / kFolderName;
  const fs::path incoming = folder / kStagingName;
  const fs::path retiring = folder / kRetiringName;
  std::error_code error;
  fs::remove_all(incoming, error);  // what an interrupted run left
  fs::remove_all(retiring, error);
  error.clear();
  fs::copy(from, incoming, fs::copy_options::recursive, error);
  if (error) {
    std::error_code ignored;
    fs::remove_all(incoming, ignored);
    return error.message();
  }
  std::optional<std::string> failure;
  if (present(destination)) {
    failure = files::swapIn(incoming, destination, retiring);
  } else {
    fs::rename(incoming, destination, error);
    if (error) failure = error.message();
  }
  std::error_code ignored;
  fs::remove_all(incoming, ignored);
  fs::remove_all(retiring, ignored);
  // Older versions go only once the new one is in place.
  if (!failure) removeOldVersions(folder);
  return failure;
}

bool VSCodeExtensionInstaller::install() {
  const auto from = source();
  if (!from) return false;
  bool installed = false;
  for (const auto& folder : targets()) {
    const fs::path destination = folder / kFolderName;
    if (auto error = installInto(folder, *from)) {
      log_.log("vscode extension install failed at " + destination.string() + ": " + *error);
    } else {
      log_.log("vscode extension installed at " + destination.string());
      installed = true;
    }
  }
  return installed;
}

void VSCodeExtensionInstaller::uninstall() {
  for (const auto& folder : targets()) {
    removeOldVersions(folder);
    for (const char* name : {kFolderName, kStagingName, kRetiringName}) {
      std::error_code ignored;
      fs::remove_all(folder / name, ignored);
    }
  }
}

bool VSCodeExtensionInstaller::isInstalled() const {
  for (const auto& folder : targets())
    if (present(folder / kFolderName)) return true;
  return false;
}

bool VSCodeExtensionInstaller::isUpToDate() const {
  const auto* wanted = sourceFiles();
  if (!wanted) return true;  // nothing to install
  for (const auto& folder : targets()) {
    const auto installed = filesBelow(folder / kFolderName);
    if (!present(folder / kFolderName) || !installed || *installed != *wanted) return false;
  }
  return true;
}

void VSCodeExtensionInstaller::reconcileAtLaunch() {
  reconcile();
  // Settings are written often (the exclusion field on every keystroke): copy again only when
  // the switch changed or a copy went missing or stale.
  preferencesObservation_ = notifications_.observe(SettingStore::kChangedNotification, loop_,
                                                   [this](const platform::Notification&) {
                                                     const bool on = vscodeTabsEnabled_.get();
                                                     if (appliedEnabled_ == on && (!on || isUpToDate()))
                                                       return;
                                                     reconcile();
                                                   });
}

void VSCodeExtensionInstaller::reconcile() {
  const bool on = vscodeTabsEnabled_.get();
  appliedEnabled_ = on;
  if (on)
    install();
  else
    uninstall();
}

}  // namespace velvix
