#include "Input/SwitcherController.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "Bridge/AppleScriptBridge.hpp"
#include "Core/Activator.hpp"
#include "Core/AppMonitor.hpp"
#include "Core/ChordSnapshot.hpp"
#include "Core/Closer.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Preferences.hpp"
#include "Core/Services.hpp"
#include "Core/TabMover.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Core/WindowList.hpp"
#include "Platform/InputEvent.hpp"
#include "Platform/InputState.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/UserDefaults.hpp"
#include "Platform/Utf8.hpp"
#include "Support/AppIcon.hpp"
#include "Support/DebugLog.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"
#include "UI/HUDController.hpp"
#include "UI/HUDModel.hpp"

namespace velvix {
namespace {

HUDController::Collaborators hudCollaborators(Services& services) {
  return {.loop = *services.loop,
          .preferences = *services.preferences,
          .privacy = *services.privacy,
          .screens = *services.screens,
          .accessibilityDisplay = *services.accessibilityDisplay,
          .thumbnails = *services.thumbnails,
          .screenCapture = *services.screenCapture,
          .runningApps = *services.runningApps,
          .windowList = *services.windowList,
          .badges = *services.badges,
          .favicons = *services.favicons,
          .desktopPicture = services.desktopPicture,
          .screenPlacement = services.placement};
}

}  // namespace

SwitcherController::SwitcherController(Services& services)
    : services_(services), hud_(std::make_unique<HUDController>(hudCollaborators(services))) {
  HUDModel& model = hud_->model();
  auto watch = alive_.watch();
  model.onCommit = [this, watch](int position) {
    if (watch.expired() || !session_ || position < 0) return;
    index_ = static_cast<std::size_t>(position);
    commit();
  };
  model.onClose = [this, watch](int position) {
    if (!watch.expired() && position >= 0) closeItem(static_cast<std::size_t>(position));
  };
  model.onMoveTab = [this, watch](int source, int target) {
    if (!watch.expired() && source >= 0 && target >= 0)
      moveTab(static_cast<std::size_t>(source), static_cast<std::size_t>(target));
  };
  hud_->setAppIconProvider(
      [icons = services_.appIcons](const std::string& bundleID, std::optional<platform::Pid> pid) {
        return icons->icon(bundleID, pid);
      });
  model.canDrag = [mover = services_.tabMover](const SwitchableItem& item) { return mover->canDrag(item); };
  model.canDrop = [mover = services_.tabMover](const SwitchableItem& dragged, const SwitchableItem& target) {
    return mover->canDrop(dragged, target);
  };
}

SwitcherController::~SwitcherController() = default;

std::uint64_t SwitcherController::triggerFlag() const {
  return services_.preferences->hotkeyMode.get() == HotkeyMode::optionTab ? platform::EventFlag::kOption
                                                                          : platform::EventFlag::kCommand;
}

bool SwitcherController::triggerHeld() const {
  return (services_.input->modifierFlags() & triggerFlag()) == triggerFlag();
}

bool SwitcherController::begin(bool reverse, bool watchingRelease) {
  const double started = services_.loop->uptime();
  // Everything below is told from one read of the platform (the window list, whether the
  // browsers run), made now and handed along.
  const ChordSnapshot& snapshot = lastSnapshot_.emplace(*services_.windowList, *services_.runningApps);
  auto finish = [&] {
    const double ms = (services_.loop->uptime() - started) * 1000.0;
    if (ms > kSlowBeginMilliseconds) {
      char line[64];
      std::snprintf(line, sizeof line, "chord begin slow: %.0fms", ms);
      services_.log->health(line);
    }
  };
  AppMonitor& monitor = *services_.appMonitor;
  auto front = services_.workspace->frontmostApplication();
  if (front && services_.loop->uptime() - monitor.lastSnapshotAt > kSnapshotFreshFor)
    monitor.snapshotCurrentTab(*front, false);
  monitor.recordFrontmostWindowNow(snapshot);

  std::vector<SwitchableItem> ranked = std::exchange(spare_, {});
  services_.mru->rankedForSwitcher(ranked, snapshot);
  auto list = services_.mru->resolvingOffScreenWindows(std::move(ranked), snapshot);
  logSnapshot(list);
  if (list.empty()) {
    spare_ = std::move(list);
    services_.log->health("chord not opened: the switcher list came back empty");
    finish();
    return false;
  }
  monitor.captureFrontmostForChord(snapshot);
  monitor.isChordActive = true;
  ++generation_;
  const std::size_t count = list.size();
  session_ = std::move(list);
  index_ = count == 1 ? 0 : reverse ? count - 1 : 1;
  hudShown_ = false;
  hudPending_ = false;
  hudRevealTimer_ = services_.loop->after(kHUDRevealDelay, [this] {
    if (session_ && !hudShown_) showHUD();
  });
  startStuckChordWatchdog();
  if (watchingRelease) watchForRelease();
  verifySession(*session_);
  finish();
  return true;
}

void SwitcherController::showHUD() {
  hudShown_ = true;
  hudPending_ = false;
  hud_->show(*session_, static_cast<int>(index_));
}

// A Tab or arrow key answers before anything is drawn: the HUD counts as shown for the chord at
// once and is built and put on screen at the loop's next turn, with the selection as it is then.
void SwitcherController::showHUDSoon() {
  hudShown_ = true;
  hudPending_ = true;
  services_.loop->post([this, watch = alive_.watch(), generation = generation_] {
    if (!watch.expired() && generation == generation_ && session_ && hudPending_) showHUD();
  });
}

void SwitcherController::step(bool reverse) {
  if (!session_) return;
  const std::size_t count = session_->size();
  index_ = (index_ + (reverse ? count - 1 : 1)) % count;
  if (!hudShown_) {
    showHUDSoon();  // a second Tab within 0.1 s shows the HUD without waiting for the reveal
  } else if (!hudPending_) {
    hud_->model().setSelectedIndex(static_cast<int>(index_));
  }
}

void SwitcherController::stepRow(bool down) {
  if (!session_) return;
  // The rows are the HUD's layout: a HUD still to be shown is laid out now.
  if (!hudShown_ || hudPending_) showHUD();
  const auto& rows = hud_->model().rows();
  std::optional<std::size_t> r, c;
  for (std::size_t i = 0; i < rows.size() && !r; ++i)
    for (std::size_t j = 0; j < rows[i].size(); ++j)
      if (rows[i][j] == static_cast<int>(index_)) {
        r = i;
        c = j;
        break;
      }
  if (rows.size() < 2 || !r) {
    step(!down);
    return;
  }
  const std::size_t t = (*r + (down ? 1 : rows.size() - 1)) % rows.size();
  // An empty row has no entry to select: stepping by row then does nothing.
  if (rows[t].empty()) return;
  const double share = (static_cast<double>(*c) + 0.5) / static_cast<double>(rows[*r].size()) *
                       static_cast<double>(rows[t].size());
  const std::size_t column = std::min(rows[t].size() - 1, static_cast<std::size_t>(std::floor(share)));
  index_ = static_cast<std::size_t>(rows[t][column]);
  hud_->model().setSelectedIndex(static_cast<int>(index_));
}

void SwitcherController::commit() {
  if (!session_) return;
  HUDModel& model = hud_->model();
  if (hudShown_ && !hudPending_ && model.dragIndex()) {
    // A tab is being dragged: the release drops it; nothing is activated.
    model.endDrag(model.dropIndex());
    cancel();
    return;
  }
  hudRevealTimer_.invalidate();
  stopStuckChordWatchdog();
  auto items = std::move(*session_);
  const std::size_t selected = index_;
  session_.reset();
  services_.appMonitor->isChordActive = false;
  const bool hideHUD = hudShown_ && !hudPending_;
  hudShown_ = false;
  hudPending_ = false;
  // The panel is taken off screen on the loop's next turn, before anything else is drawn and before
  // the activation work starts: the release answers without waiting for the toolkit's hide.
  auto next = [this, watch = alive_.watch(), items = std::move(items), selected, hideHUD]() mutable {
    if (watch.expired()) return;
    if (hideHUD && !hudShown_) hud_->hide();
    services_.activator->activate(items, selected);
    spare_ = std::move(items);
  };
  services_.loop->post(std::move(next));
}

void SwitcherController::closeChord() {
  hudRevealTimer_.invalidate();
  stopStuckChordWatchdog();
  if (session_) spare_ = std::move(*session_);
  session_.reset();
  services_.appMonitor->isChordActive = false;
  if (hudShown_ && !hudPending_) hud_->hide();
  hudShown_ = false;
  hudPending_ = false;
}

void SwitcherController::cancel() {
  closeChord();
}

void SwitcherController::watchForRelease() {
  if (!session_ || releasePoll_.isValid()) return;
  releasePoll_ = services_.loop->every(
      kReleasePollInterval,
      [this] {
        if (session_ && !triggerHeld()) {
          services_.log->log("chord committed by the release watch");
          commit();
        }
      },
      platform::TimerMode::Common);
}

void SwitcherController::handleMouseDown(Point location) {
  if (!session_) return;
  if (hudShown_ && hud_->isVisible() && hud_->panelContains(location)) return;  // the HUD handles it
  services_.log->log("chord dismissed by a click outside the switcher");
  cancel();
}

void SwitcherController::startStuckChordWatchdog() {
  chordModifierUpTicks_ = 0;
  stuckChordTimer_ = services_.loop->every(kStuckChordInterval, [this] {
    if (!session_) return;
    if (triggerHeld()) {
      chordModifierUpTicks_ = 0;
      return;
    }
    if (++chordModifierUpTicks_ >= kStuckChordTicks) {
      services_.log->health(
          "chord watchdog: trigger modifier has been up for two ticks with the chord still open; ending it");
      cancel();
    }
  });
}

void SwitcherController::stopStuckChordWatchdog() {
  stuckChordTimer_.invalidate();
  chordModifierUpTicks_ = 0;
  releasePoll_.invalidate();
}

void SwitcherController::closeItem(std::size_t position) {
  if (!session_ || position >= session_->size()) return;
  const SwitchableItem item = (*session_)[position];
  services_.log->log("\u00D7 clicked: " + item.id +
                     " tabID=" + (item.tabID ? std::to_string(*item.tabID) : "nil") +
                     " index=" + (item.tabIndex ? std::to_string(*item.tabIndex) : "nil"));
  if (item.kind == ItemKind::tab && item.url == MRUManager::kAuxPlaceholderURL) return;
  session_->erase(session_->begin() + static_cast<std::ptrdiff_t>(position));
  services_.mru->removeItem(item.id);  // drops its picture too
  services_.loop->post([this, watch = alive_.watch(), item] {
    if (!watch.expired()) services_.closer->close(item);
  });
  if (session_->empty()) {
    cancel();
    return;
  }
  if (position < index_) {
    --index_;
  } else if (index_ >= session_->size()) {
    index_ = session_->size() - 1;
  }
  if (hudShown_ && !hudPending_) hud_->update(*session_, static_cast<int>(index_));
}

void SwitcherController::moveTab(std::size_t from, std::size_t onto) {
  if (!session_ || from >= session_->size() || onto >= session_->size() || !services_.tabMover) return;
  const SwitchableItem source = (*session_)[from];
  const SwitchableItem target = (*session_)[onto];
  services_.tabMover->move(source, target, [this, watch = alive_.watch(), source, target] {
    if (watch.expired() || !session_) return;
    for (std::size_t i = 0; i < session_->size(); ++i) {
      if ((*session_)[i].id != source.id) continue;
      (*session_)[i].windowID = target.windowID;
      (*session_)[i].tabIndex = target.tabIndex;
      if (hudShown_ && !hudPending_) hud_->model().flashMoved(static_cast<int>(i));
      return;
    }
  });
}

void SwitcherController::verifySession(const std::vector<SwitchableItem>& list) {
  std::array<bool, browsers::kCount> listed{};
  for (const auto& e : list)
    if (e.kind == ItemKind::tab && e.browser) listed[static_cast<std::size_t>(*e.browser)] = true;
  // The checks start in the loop's next turn: they are no part of the answer to the key press.
  // Nor is freeing what the chord's start read, which goes then too.
  services_.loop->post([this, watch = alive_.watch(), listed, generation = generation_] {
    if (watch.expired()) return;
    lastSnapshot_.reset();
    verifyBrowsers(listed, generation);
  });
}

void SwitcherController::verifyBrowsers(const std::array<bool, browsers::kCount>& listed,
                                        std::uint64_t generation) {
  for (std::size_t b = 0; b < listed.size(); ++b) {
    if (!listed[b]) continue;
    const auto browser = static_cast<Browser>(b);
    if (browsers::isEditor(browser)) continue;
    if (!services_.runningApps->first(std::string(browsers::bundleID(browser)))) continue;
    auto cached = services_.permissions->automationCacheEntry(browser);
    if (!cached || services_.loop->uptime() - cached->at > PermissionsService::kAutomationStaleAfter)
      services_.permissions->refreshAutomationStatus(browser);  // joins a check already in flight
    if (!cached || cached->status != platform::Privacy::kAutomationGranted) continue;
    services_.appleScripts->liveTabKeysAsync(browser, [this, watch = alive_.watch(), browser, generation](
                                                          std::optional<std::vector<std::string>> keys) {
      if (watch.expired() || !keys || generation != generation_) return;
      auto removed = services_.mru->reconcile(browser, *keys, MRUManager::kStrikeLimit);
      pruneSession(browser, removed, keys->size());
    });
  }
}

void SwitcherController::pruneSession(Browser browser, const std::set<std::string>& removed,
                                      std::size_t liveKeys) {
  if (!session_ || removed.empty()) return;
  std::optional<std::string> selectedID;
  if (index_ < session_->size()) selectedID = (*session_)[index_].id;
  const std::size_t before = session_->size();
  std::erase_if(*session_, [&](const SwitchableItem& e) {
    return e.kind == ItemKind::tab && e.browser == browser && removed.contains(e.id);
  });
  const std::size_t dropped = before - session_->size();
  if (dropped == 0) return;
  services_.log->log("pruneSession " + std::string(browsers::rawValue(browser)) +
                     " liveKeys=" + std::to_string(liveKeys) + " dropped " + std::to_string(dropped) +
                     " of " + std::to_string(before));
  if (session_->empty()) {
    cancel();
    return;
  }
  auto kept = std::find_if(session_->begin(), session_->end(),
                           [&](const SwitchableItem& e) { return selectedID && e.id == *selectedID; });
  index_ = kept != session_->end() ? static_cast<std::size_t>(kept - session_->begin())
                                   : std::min(index_, session_->size() - 1);
  if (hudShown_ && !hudPending_) hud_->update(*session_, static_cast<int>(index_));
}

void SwitcherController::logSnapshot(const std::vector<SwitchableItem>& list) const {
  if (!services_.defaults->boolean("debugLogging")) return;
  const double now = services_.loop->now();
  std::string text = "chord snapshot (" + std::to_string(list.size()) + "):";
  for (std::size_t i = 0; i < list.size(); ++i) {
    const SwitchableItem& e = list[i];
    char age[32];
    std::snprintf(age, sizeof age, "%.1f", now - e.lastActivatedAt);
    text += "\n  [" + std::to_string(i) + "] " + (e.seeded ? "S" : "U") + " age=" + age + "s " +
            (e.kind == ItemKind::app ? "app" : "tab") + " " + e.bundleID +
            " win=" + (e.windowNumber ? "#" + std::to_string(*e.windowNumber) : "-") + " '" +
            utf8::prefix(e.title, 28) + "'";
  }
  services_.log->log(text);
}

}  // namespace velvix
