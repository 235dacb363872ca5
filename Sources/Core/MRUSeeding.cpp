// How application and window entries enter the inventory: launch seeding and bumps.

#include <algorithm>

#include "Bridge/AXWindowBridge.hpp"
#include "Bridge/BrowserBridge.hpp"
#include "Core/ChordSnapshot.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Preferences.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

using platform::ActivationPolicy;
using platform::RunningApplication;

namespace {
constexpr double kSeedStep = 0.5;
constexpr double kFirstSeedOffset = 1.0;
}  // namespace

std::optional<std::string> MRUManager::windowTitle(
    const WindowList::Info& info, const RunningApplication& app,
    const std::map<std::int64_t, std::string>& axTitles) const {
  if (!app.bundleIdentifier) return std::nullopt;
  // The window titles of excluded applications (password managers) are never shown.
  if (isExcluded(*app.bundleIdentifier)) return std::nullopt;
  if (info.title && !info.title->empty()) return info.title;
  if (auto it = axTitles.find(info.windowNumber); it != axTitles.end() && !it->second.empty())
    return it->second;
  auto existing = title(SwitchableItem::windowItemID(*app.bundleIdentifier, info.windowNumber));
  if (existing && app.localizedName && *existing == *app.localizedName) return std::nullopt;
  return existing;
}

SwitchableItem MRUManager::windowEntry(const WindowList::Info& info, const RunningApplication& app,
                                       const std::map<std::int64_t, std::string>& axTitles) const {
  SwitchableItem item;
  item.bundleID = app.bundleIdentifier.value_or("");
  item.id = SwitchableItem::windowItemID(item.bundleID, info.windowNumber);
  item.kind = ItemKind::app;
  item.windowNumber = info.windowNumber;
  auto title = windowTitle(info, app, axTitles);
  item.title = title && !title->empty() ? *title : app.localizedName.value_or(item.bundleID);
  item.pid = app.pid;
  return item;
}

void MRUManager::bumpApp(const RunningApplication& app, double date) {
  bumpApp(app, date, nullptr);
}

void MRUManager::bumpApp(const RunningApplication& app, double date, const ChordSnapshot& chord) {
  bumpApp(app, date, &chord);
}

void MRUManager::bumpApp(const RunningApplication& app, double date, const ChordSnapshot* chord) {
  if (app.activationPolicy != ActivationPolicy::Regular &&
      app.activationPolicy != ActivationPolicy::Accessory)
    return;
  if (!app.bundleIdentifier || app.bundleIdentifier->empty()) return;
  if (auto browser = browsers::fromBundleID(*app.bundleIdentifier);
      browser && browserBridge_.reportsTabs(*browser)) {
    auto item = SwitchableItem::appItem(app, date);
    upsertApp(*item);
    return;
  }
  // Listed through its windows: the front one at the date, the others estimated just before it.
  const auto axTitles = ax_.windowTitlesByNumber(app.pid);
  std::vector<const WindowList::Info*> candidates;
  std::vector<WindowList::Info> read;
  if (!chord) read = windowList_.realWindows(false);
  const std::vector<WindowList::Info>& windows = chord ? chord->windows() : read;
  for (const auto& info : windows) {
    if (info.pid != app.pid) continue;
    if (!info.isOnScreen && (!info.title || info.title->empty())) continue;
    if (!axTitles.empty() && !axTitles.contains(info.windowNumber)) continue;
    candidates.push_back(&info);
  }
  if (candidates.empty()) return;
  std::optional<std::int64_t> chosen;
  if (auto front = chord ? windowList_.frontWindow(app.pid, *chord) : windowList_.frontWindow(app.pid))
    for (const auto* c : candidates)
      if (c->windowNumber == front->windowNumber) chosen = c->windowNumber;
  if (!chosen)
    for (const auto* c : candidates)
      if (c->isOnScreen) {
        chosen = c->windowNumber;
        break;
      }
  if (!chosen) return;
  double offset = kDeactivationBackdate;
  for (const auto* c : candidates) {
    SwitchableItem item = windowEntry(*c, app, axTitles);
    if (c->windowNumber == *chosen) {
      item.lastActivatedAt = date;
      item.seeded = false;
    } else {
      item.lastActivatedAt = date - offset;
      item.seeded = true;
      offset += kSeedStep;
    }
    upsertApp(item);
  }
}

void MRUManager::seedRunningApps() {
  const double start = now();
  const auto frontApp = workspace_.frontmostApplication();
  std::optional<std::int64_t> frontWindow;
  if (frontApp)
    if (auto w = windowList_.frontWindow(frontApp->pid)) frontWindow = w->windowNumber;
  const platform::Pid self = workspace_.ownPid();

  double offset = kFirstSeedOffset;
  std::map<platform::Pid, std::map<std::int64_t, std::string>> axTitlesCache;
  for (const auto& row : windowList_.realWindows(true)) {
    auto app = workspace_.application(row.pid);
    if (!app || !app->bundleIdentifier || app->bundleIdentifier->empty()) continue;
    if (app->activationPolicy != ActivationPolicy::Regular && app->pid != self) continue;
    const bool isFront = frontApp && row.pid == frontApp->pid && frontWindow == row.windowNumber;

    SwitchableItem item;
    auto browser = browsers::fromBundleID(*app->bundleIdentifier);
    if (browser && browserBridge_.reportsTabs(*browser)) {
      item.id = SwitchableItem::appID(*app->bundleIdentifier);
      item.kind = ItemKind::app;
      item.bundleID = *app->bundleIdentifier;
      item.title = app->localizedName.value_or(*app->bundleIdentifier);
      item.pid = app->pid;
    } else {
      auto cached = axTitlesCache.find(row.pid);
      if (cached == axTitlesCache.end())
        cached = axTitlesCache.emplace(row.pid, ax_.windowTitlesByNumber(row.pid)).first;
      // A window the application does not list is no window it shows.
      if (!cached->second.empty() && !cached->second.contains(row.windowNumber)) continue;
      item = windowEntry(row, *app, cached->second);
    }
    if (isFront) {
      item.lastActivatedAt = start;
      item.seeded = false;
    } else {
      item.lastActivatedAt = start - offset;
      item.seeded = true;
    }
    offset += kSeedStep;
    upsertApp(item);
  }
  seedMinimizedWindows(offset);
}

// Minimized windows rank after every on-screen window: they continue the running offset.
void MRUManager::seedMinimizedWindows(double& offset) {
  std::set<std::int64_t> onScreen;
  for (const auto& row : windowList_.realWindows(true)) onScreen.insert(row.windowNumber);
  std::vector<WindowList::Info> offScreen;
  for (auto& row : windowList_.realWindows(false))
    if (!onScreen.contains(row.windowNumber)) offScreen.push_back(std::move(row));
  if (offScreen.empty()) return;

  const double start = now();
  const double deadline = loop_.uptime() + kMinimizedSeedBudget;
  std::vector<platform::Pid> pids;
  for (const auto& row : offScreen)
    if (std::find(pids.begin(), pids.end(), row.pid) == pids.end()) pids.push_back(row.pid);
  for (platform::Pid pid : pids) {
    if (loop_.uptime() > deadline) {
      log_.log(
          "seed: ran out of budget before every app with an off-screen window was asked about minimized "
          "windows");
      return;
    }
    auto app = workspace_.application(pid);
    if (!app || !app->bundleIdentifier || app->activationPolicy != ActivationPolicy::Regular) continue;
    if (auto browser = browsers::fromBundleID(*app->bundleIdentifier)) {
      if (!browsers::isEditor(*browser)) continue;
      if (browserBridge_.isChromiumConnected(*browser)) continue;
    }
    auto states = ax_.windowStatesIfEnumerable(pid);
    if (!states) continue;
    std::set<std::int64_t> minimized;
    for (const auto& s : *states)
      if (s.minimized) minimized.insert(s.number);
    if (minimized.empty()) continue;
    for (const auto& row : offScreen) {
      if (row.pid != pid || !minimized.contains(row.windowNumber)) continue;
      SwitchableItem item = windowEntry(row, *app, {});
      item.lastActivatedAt = start - offset;
      item.seeded = true;
      offset += kSeedStep;
      upsertApp(item);
    }
  }
}

}  // namespace velvix
