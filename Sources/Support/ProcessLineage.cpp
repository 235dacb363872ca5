#include "Support/ProcessLineage.hpp"

#include <algorithm>
#include <iterator>
#include <system_error>

#include "Platform/BundleReader.hpp"
#include "Platform/ProcessTable.hpp"
#include "Support/DebugLog.hpp"

namespace velvix::ProcessLineage {
namespace {

using Accepts = bool (*)(Browser);

bool isEditorCase(Browser browser) {
  return browsers::isEditor(browser);
}
bool isChromiumCase(Browser browser) {
  return browsers::isChromiumFamily(browser);
}

// A bundle whose frameworks hold "<Something> Framework.framework" is built like a Chromium
// browser, listed or not.
bool isChromiumBundle(const platform::BundleReader& bundles, const std::filesystem::path& bundle) {
  const auto names = bundles.folderEntries(bundle, "Contents/Frameworks");
  if (!names) return false;
  for (const auto& name : *names)
    if (name.ends_with(" Framework.framework")) return true;
  return false;
}

struct UnlistedBundle {
  std::string fileName;
  std::optional<std::string> identifier;
};

std::optional<Browser> identify(const std::optional<std::string>& bundleID, const std::string& name,
                                Accepts accepts) {
  if (bundleID)
    if (auto browser = browsers::fromBundleID(*bundleID); browser && accepts(*browser)) return browser;
  for (Browser browser : browsers::all())
    if (accepts(browser) && browsers::appleScriptName(browser) == name) return browser;
  return std::nullopt;
}

// Walks from `pid` up through at most `limit` processes of the peers' table. `unlisted` (when
// given) keeps the nearest ancestor bundle that looks Chromium-built but is not in the table.
std::optional<Browser> walk(const platform::ProcessTable& processes, const platform::Workspace& workspace,
                            const platform::BundleReader& bundles, platform::Pid pid, int limit,
                            Accepts accepts, std::optional<UnlistedBundle>* unlisted) {
  const platform::ProcessTable& table = processes.peers();
  // Real peers are known by their executable alone, as the kernel shows it; the running
  // applications and the bundles are the simulated desktop's and speak only for its processes.
  const bool simulated = &table == &processes;
  for (int examined = 0; examined < limit; ++examined) {
    if (pid < 2) return std::nullopt;  // no process, or the system's first one
    if (simulated)
      if (auto app = workspace.application(pid); app && !app->isTerminated && app->bundleIdentifier)
        if (auto browser = browsers::fromBundleID(*app->bundleIdentifier); browser && accepts(*browser))
          return browser;
    if (auto identifier = table.bundleIdentifier(pid))
      if (auto browser = browsers::fromBundleID(*identifier); browser && accepts(*browser)) return browser;
    if (auto executable = simulated ? table.executablePath(pid) : std::nullopt)
      if (auto bundle = enclosingApp(*executable)) {
        const auto bundleID = bundles.bundleIdentifier(*bundle);
        if (auto browser = identify(bundleID, bundle->stem().string(), accepts)) return browser;
        if (unlisted && !*unlisted && isChromiumBundle(bundles, *bundle))
          *unlisted = UnlistedBundle{bundle->filename().string(), bundleID};
      }
    auto parent = table.parent(pid);
    if (!parent || *parent < 1) return std::nullopt;
    pid = *parent;
  }
  return std::nullopt;
}

// The same file by its path, whatever links lead to it: the kernel shows a process's executable
// with every link resolved.
std::filesystem::path resolved(const std::filesystem::path& path) {
  std::error_code error;
  auto canonical = std::filesystem::weakly_canonical(path, error);
  return error ? path.lexically_normal() : canonical;
}

}  // namespace

bool runsRelay(const platform::ProcessTable& processes, platform::Pid pid,
               const std::vector<std::filesystem::path>& relayPrograms) {
  if (pid < 2) return false;
  const auto executable = processes.peers().executablePath(pid);
  if (!executable) return false;
  const auto running = resolved(*executable);
  return std::any_of(relayPrograms.begin(), relayPrograms.end(),
                     [&](const std::filesystem::path& program) { return resolved(program) == running; });
}

std::optional<std::filesystem::path> enclosingApp(const std::filesystem::path& executable) {
  for (std::filesystem::path candidate = executable; std::distance(candidate.begin(), candidate.end()) >= 2;
       candidate = candidate.parent_path()) {
    if (candidate.extension() == ".app") return candidate;
  }
  return std::nullopt;
}

std::optional<Browser> editor(const platform::ProcessTable& processes, const platform::Workspace& workspace,
                              const platform::BundleReader& bundles, platform::Pid extensionHost) {
  return walk(processes, workspace, bundles, extensionHost, kEditorWalk, isEditorCase, nullptr);
}

std::optional<Browser> chromiumBrowser(const platform::ProcessTable& processes,
                                       const platform::Workspace& workspace,
                                       const platform::BundleReader& bundles, DebugLog& log,
                                       platform::Pid relay,
                                       const std::vector<std::filesystem::path>& relayPrograms) {
  if (!runsRelay(processes, relay, relayPrograms)) return std::nullopt;
  // Only the parent counts: a browser further up started something else, which started the relay.
  const auto parent = processes.peers().parent(relay);
  if (!parent) return std::nullopt;
  std::optional<UnlistedBundle> unlisted;
  auto browser = walk(processes, workspace, bundles, *parent, 1, isChromiumCase, &unlisted);
  if (!browser && unlisted)
    log.log("ProcessLineage: relay ancestor " + unlisted->fileName + " (" +
            unlisted->identifier.value_or("?") + ") looks Chromium but " +
            "isn't a listed Browser; rejecting \u2014 add it to enable switching");
  return browser;
}

}  // namespace velvix::ProcessLineage
