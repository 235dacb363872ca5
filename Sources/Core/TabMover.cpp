#include "Core/TabMover.hpp"

#include <algorithm>

#include "Bridge/BrowserBridge.hpp"
#include "Bridge/ExtensionCommand.hpp"
#include "Core/MRUManager.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {

bool TabMover::isMovable(const SwitchableItem& item) {
  return item.kind == ItemKind::tab && item.source == TabSource::webExtension && item.tabID && item.browser &&
         browsers::isChromiumFamily(*item.browser);
}

bool TabMover::canDrag(const SwitchableItem& item) const {
  return isMovable(item) && browserBridge_.canAcceptCommands(*item.browser);
}

bool TabMover::canDrop(const SwitchableItem& dragged, const SwitchableItem& target) {
  return isMovable(dragged) && isMovable(target) && dragged.browser == target.browser &&
         dragged.isPrivate == target.isPrivate && dragged.session == target.session &&
         dragged.tabID != target.tabID;
}

std::optional<std::int64_t> TabMover::reorderIndex(const SwitchableItem& dragging, const SwitchableItem& onto,
                                                   const std::string& destinationWindow) {
  if (!dragging.windowID || *dragging.windowID != destinationWindow || !dragging.tabIndex || !onto.tabIndex)
    return std::nullopt;
  return *dragging.tabIndex < *onto.tabIndex ? *onto.tabIndex : *onto.tabIndex + 1;
}

bool TabMover::move(const SwitchableItem& dragged, const SwitchableItem& target,
                    std::function<void()> onConfirm) {
  if (!canDrop(dragged, target) || !target.windowID) return false;
  const Browser browser = *dragged.browser;
  auto connection = browserBridge_.client(browser, dragged.session);
  const bool sent = connection && connection->sendLine(ExtensionCommand::move(*dragged.tabID, *target.tabID));
  log_.log("move tab " + std::to_string(*dragged.tabID) + " onto " + std::to_string(*target.tabID) + " (" +
           std::string(browsers::rawValue(browser)) + " win " + dragged.windowID.value_or("?") + "\u2192" +
           *target.windowID + ") target.tabIndex=" + std::to_string(target.tabIndex.value_or(-1)) +
           " sent=" + (sent ? "true" : "false"));
  if (!sent) return false;

  const double now = loop_.uptime();
  std::erase_if(pending_, [&](const PendingMove& m) { return m.deadline < now || m.itemID == dragged.id; });
  pending_.push_back({.itemID = dragged.id,
                      .browser = browser,
                      .url = dragged.url,
                      .expectedWindowID = *target.windowID,
                      .expectedIndex = reorderIndex(dragged, target, *target.windowID),
                      .deadline = now + kConfirmWithin,
                      .onConfirm = std::move(onConfirm)});
  return true;
}

// Within one window only the moved tab at its expected place confirms; across windows the moved
// tab, or a tab showing its page (a move may give the tab a new id), in the destination window.
bool TabMover::fits(const PendingMove& move, Browser browser, const std::string& reportedID,
                    const TabPack& pack) {
  if (move.browser != browser || move.expectedWindowID != std::to_string(pack.windowID)) return false;
  if (move.expectedIndex) return move.itemID == reportedID && pack.tabIndex == *move.expectedIndex;
  return move.itemID == reportedID ||
         (move.url && *move.url == pack.url && MRUManager::isIdentifyingURL(pack.url));
}

void TabMover::noteTabPosition(Browser browser, const std::optional<std::string>& session,
                               const TabPack& pack) {
  const double now = loop_.uptime();
  std::erase_if(pending_, [&](const PendingMove& m) { return m.deadline < now; });
  if (pending_.empty()) return;  // the common case: no move waits for its report
  const std::string reportedID = MRUManager::tabItemID(browser, session, pack.tabID);
  auto move = std::find_if(pending_.begin(), pending_.end(),
                           [&](const PendingMove& m) { return fits(m, browser, reportedID, pack); });
  if (move == pending_.end()) return;
  auto confirm = std::move(move->onConfirm);
  pending_.erase(move);
  log_.log("move confirmed: " + reportedID + " now in window " + std::to_string(pack.windowID));
  if (confirm) confirm();
}

}  // namespace velvix
