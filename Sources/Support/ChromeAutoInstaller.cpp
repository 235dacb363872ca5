#include "Support/ChromeAutoInstaller.hpp"

#include "Platform/InputEvent.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Pasteboard.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/URLOpener.hpp"
#include "Platform/Workspace.hpp"
#include "Support/AXElementSearch.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/DebugLog.hpp"
#include "Support/InputLock.hpp"
#include "Support/RunningApps.hpp"
#include "Support/SyntheticKeys.hpp"

namespace velvix {

void ChromeAutoInstaller::log(const std::string& line) const {
  log_.log("auto-install: " + line);
}

void ChromeAutoInstaller::later(double seconds, std::function<void()> step) {
  loop_.postAfter(seconds, [watch = alive_.watch(), step = std::move(step)] {
    if (!watch.expired()) step();
  });
}

void ChromeAutoInstaller::finish(const RunPtr& run, Outcome outcome) {
  if (run->finished) return;  // every path ends the run once; a late second end is dropped
  run->finished = true;
  if (outcome.kind == Outcome::Kind::manual) outcome.folderOnClipboard = run->folderOnClipboard;
  auto completion = std::move(run->completion);
  loop_.post([watch = alive_.watch(), completion = std::move(completion), outcome = std::move(outcome)] {
    if (!watch.expired() && completion) completion(outcome);
  });
}

std::vector<Browser> ChromeAutoInstaller::installedChromiums() const {
  std::vector<Browser> found;
  for (Browser browser : browsers::all())
    if (browsers::isChromiumFamily(browser) && browsers::dataDir(browser) &&
        !workspace_.applicationPaths(std::string(browsers::bundleID(browser))).empty())
      found.push_back(browser);
  return found;
}

std::optional<Browser> ChromeAutoInstaller::installedChromium() const {
  const auto candidates = installedChromiums();
  if (auto path = urlOpener_.defaultApplicationPath(kDefaultBrowserProbe))
    for (Browser browser : candidates)
      for (const auto& installed : workspace_.applicationPaths(std::string(browsers::bundleID(browser))))
        if (installed == *path) return browser;
  if (candidates.empty()) return std::nullopt;
  return candidates.front();
}

bool ChromeAutoInstaller::inputLockable() const {
  return inputLock_ && inputLock_->canLockInput();
}

platform::AXElement ChromeAutoInstaller::applicationElement(platform::Pid pid) {
  const auto element = accessibility_.applicationElement(pid);
  accessibility_.setMessagingTimeout(element, kMessagingTimeout);
  return element;
}

void ChromeAutoInstaller::run(InputLock* inputLock, Completion completion) {
  inputLock_ = inputLock;
  userCancelled_ = false;
  auto run = std::make_shared<Run>();
  run->completion = std::move(completion);

  const auto browser = installedChromium();
  if (!browser) {
    log("no Chromium browser found");
    return finish(run, Outcome::noBrowser());
  }
  run->browser = *browser;
  // Loading the extension a second time would only replace the running copy.
  for (Browser installed : installedChromiums())
    if (isExtensionConnected_ && isExtensionConnected_(installed)) {
      log("the extension is already connected in " + std::string(browsers::appleScriptName(installed)));
      return finish(run, Outcome::alreadyConnected(installed));
    }
  if (!accessibility_.isProcessTrusted() || !inputLockable()) {
    log("no event tap; refusing to start");
    return finish(run, Outcome::manual(*browser, kStepAccessibility));
  }
  const std::string name(browsers::appleScriptName(*browser));
  log("targeting " + name);
  if (auto error = hostInstaller_.install())
    return finish(run, Outcome::manual(*browser, kStepHelper + *error));
  const auto folder = hostInstaller_.exportExtension();
  if (!folder) return finish(run, Outcome::manual(*browser, kStepCopy));
  run->folder = folder->string();
  // From here on the user can finish by hand with the path at hand, wherever the run stops.
  pasteboard_.setString(run->folder);
  run->folderOnClipboard = true;

  if (auto app = runningApps_.first(std::string(browsers::bundleID(*browser))))
    return warmUp(run, app->pid, loop_.uptime() + kWarmUpBudget);
  launchBrowser(run);
}

void ChromeAutoInstaller::launchBrowser(const RunPtr& run) {
  const std::string bundleID(browsers::bundleID(run->browser));
  const std::string opening = kStepOpening + std::string(browsers::appleScriptName(run->browser));
  const auto paths = workspace_.applicationPaths(bundleID);
  if (paths.empty()) return finish(run, Outcome::manual(run->browser, opening));
  workspace_.openApplication(paths.front(), true,
                             [this, run, bundleID, opening,
                              watch = alive_.watch()](std::optional<platform::RunningApplication> opened) {
                               if (watch.expired()) return;
                               later(kLaunchWait, [this, run, bundleID, opening, opened] {
                                 auto app = opened ? opened : runningApps_.first(bundleID);
                                 if (!app) return finish(run, Outcome::manual(run->browser, opening));
                                 warmUp(run, app->pid, loop_.uptime() + kWarmUpBudget);
                               });
                             });
}

// A browser builds its page's Accessibility tree only once asked to: switch it on, then wait
// for the web area (a bare tree is logged and the run goes on).
void ChromeAutoInstaller::warmUp(const RunPtr& run, platform::Pid pid, double deadline) {
  const auto app = applicationElement(pid);
  for (const char* attribute : {"AXManualAccessibility", "AXEnhancedUserInterface"})
    accessibility_.setAttribute(app, attribute, true);
  later(0, [this, run, pid, deadline] { pollPageTree(run, pid, deadline); });
}

void ChromeAutoInstaller::pollPageTree(const RunPtr& run, platform::Pid pid, double deadline) {
  const auto app = applicationElement(pid);
  bool ready = false;
  if (loop_.uptime() < deadline) {
    accessibility_.setAttribute(app, "AXManualAccessibility", true);
    ready = bool(AXElementSearch::firstMatch(
        accessibility_, app,
        [](const std::string& role, const std::string&, const std::string&) { return role == "AXWebArea"; }));
    if (!ready && loop_.uptime() + kWarmUpInterval < deadline)
      return later(kWarmUpInterval, [this, run, pid, deadline] { pollPageTree(run, pid, deadline); });
  }
  log(std::string("a11y tree ") + (ready ? "ready" : "still bare \u2014 continuing anyway"));
  openExtensionsPage(run, pid);
}

void ChromeAutoInstaller::openExtensionsPage(const RunPtr& run, platform::Pid pid) {
  const auto paths = workspace_.applicationPaths(std::string(browsers::bundleID(run->browser)));
  if (paths.empty()) return finish(run, Outcome::manual(run->browser, kStepExtensionsPage));
  urlOpener_.open(kExtensionsAddress, paths.front(), true,
                  [this, run, pid, watch = alive_.watch()](std::optional<std::string> error) {
                    if (watch.expired()) return;
                    if (error) {
                      log("open extensions page failed: " + *error);
                      return finish(run, Outcome::manual(run->browser, kStepExtensionsPage));
                    }
                    later(kPageSettle, [this, run, pid] {
                      workspace_.activate(pid);
                      driveExtensionsPage(run, pid, 1);
                    });
                  });
}

// The panel was filled and confirmed (or not): the extension should now connect.
void ChromeAutoInstaller::afterPanel(const RunPtr& run, bool filled) {
  if (!filled) {
    SyntheticKeys::press(eventTaps_, platform::KeyCode::kEscape);  // whatever panel is still up
    return finish(run, userCancelled_ ? Outcome::cancelled() : Outcome::manual(run->browser, kStepFolder));
  }
  if (isExtensionConnected_(run->browser)) return finish(run, Outcome::connected(run->browser));
  later(kFirstConnectionCheck, [this, run] { waitForConnection(run, 1); });
}

void ChromeAutoInstaller::waitForConnection(const RunPtr& run, int attempt) {
  if (isExtensionConnected_(run->browser)) return finish(run, Outcome::connected(run->browser));
  if (attempt >= kConnectionAttempts) return finish(run, Outcome::manual(run->browser, kStepConfirm));
  later(kConnectionInterval, [this, run, attempt] { waitForConnection(run, attempt + 1); });
}

}  // namespace velvix
