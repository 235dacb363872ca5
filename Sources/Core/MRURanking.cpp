// The ranked list of a chord: the inventory in recency order, with nothing the user cannot
// switch to. The first pass asks only the window server and the process table; the second asks
// Accessibility, under a deadline, about windows that are listed but not shown.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <utility>

#include "Bridge/AXWindowBridge.hpp"
#include "Core/MRUManager.hpp"
#include "Core/Services.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/DebugLog.hpp"
#include "Support/RunningApps.hpp"

namespace velvix {
namespace {

constexpr double kForever = std::numeric_limits<double>::infinity();

template <typename Set>
std::string bracketed(const Set& values) {
  std::ostringstream out;
  out << "[";
  bool first = true;
  for (const auto& v : values) {  // std::set iterates in ascending order
    out << (first ? "" : ", ") << v;
    first = false;
  }
  out << "]";
  return out.str();
}

}  // namespace

std::vector<SwitchableItem> MRUManager::rankedForSwitcher() {
  std::vector<SwitchableItem> list;
  rankedForSwitcher(list);
  return list;
}

void MRUManager::rankedForSwitcher(std::vector<SwitchableItem>& list) {
  // The entries are large and scattered: they are read once, in inventory order, for the few
  // facts the ranking needs, and the sort and the filter work on those compact facts. Only the
  // entries that stay are read again, to be copied.
  struct Facts {
    std::int64_t windowNumber;
    platform::Pid pid;
    bool hasWindow;
    bool hasPid;
    bool tab;
    bool expired;            // a tab last used before the expiry
    std::uint8_t browser;    // browsers::kCount for none
    std::uint8_t tabBundle;  // a tab's application among those with tabs listed
  };
  // Each position carries its entry's recency, so the sort does not go back to the entries.
  struct Ranked {
    bool seeded;
    double lastActivatedAt;
    std::uint32_t index;
  };
  // Entries equally recent keep the inventory's order, so the order is one and the same whatever
  // order the sort starts from.
  auto before = [](const Ranked& a, const Ranked& b) {
    if (recencyBefore(a.seeded, a.lastActivatedAt, b.seeded, b.lastActivatedAt)) return true;
    if (recencyBefore(b.seeded, b.lastActivatedAt, a.seeded, a.lastActivatedAt)) return false;
    return a.index < b.index;
  };
  const auto size = static_cast<std::uint32_t>(items.size());
  const double cutOff = now() - kTabExpiry;
  // A browser or terminal whose tabs are listed shows its tabs, not its application or windows.
  std::vector<std::string_view> tabBundles;  // a few at most
  std::vector<Facts> facts(size);
  std::vector<Ranked> byIndex(size);
  std::vector<platform::Pid> pids;
  pids.reserve(size);
  for (std::uint32_t index = 0; index < size; ++index) {
    const SwitchableItem& e = items[index];
    Facts& f = facts[index];
    f.hasWindow = e.windowNumber.has_value();
    f.windowNumber = e.windowNumber.value_or(0);
    f.hasPid = e.pid.has_value();
    f.pid = e.pid.value_or(0);
    f.tab = e.kind == ItemKind::tab;
    f.expired = f.tab && e.lastActivatedAt < cutOff;
    f.browser =
        e.browser ? static_cast<std::uint8_t>(*e.browser) : static_cast<std::uint8_t>(browsers::kCount);
    f.tabBundle = 0;
    if (f.tab) {
      auto at = std::find(tabBundles.begin(), tabBundles.end(), e.bundleID);
      if (at == tabBundles.end()) at = tabBundles.insert(tabBundles.end(), e.bundleID);
      f.tabBundle = static_cast<std::uint8_t>(std::min<std::ptrdiff_t>(at - tabBundles.begin(), 255));
    } else if (f.hasPid) {
      pids.push_back(f.pid);
    }
    // A date that is not a number counts as the oldest: the sort needs a consistent order.
    byIndex[index] = {e.seeded, std::isnan(e.lastActivatedAt) ? -kForever : e.lastActivatedAt, index};
  }

  // The sort starts from the last ranking's order: the inventory changes little between chords.
  // Positions past a shrunk inventory leave it; those of new entries join at the end.
  std::erase_if(rankOrder_, [&](std::uint32_t index) { return index >= size; });
  for (auto index = static_cast<std::uint32_t>(rankOrder_.size()); index < size; ++index)
    rankOrder_.push_back(index);
  std::vector<Ranked> sorted;
  sorted.reserve(size);
  for (std::uint32_t index : rankOrder_) sorted.push_back(byIndex[index]);
  // Insertion sort takes one pass over an order that is nearly right; past a budget of moves the
  // order was far off, and the general sort takes over.
  const std::size_t budget = 8 * sorted.size() + 64;
  std::size_t moves = 0;
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    const Ranked next = sorted[i];
    std::size_t at = i;
    for (; at > 0 && before(next, sorted[at - 1]); --at) sorted[at] = sorted[at - 1];
    sorted[at] = next;
    moves += i - at;
    if (moves > budget) {
      std::sort(sorted.begin(), sorted.end(), before);
      break;
    }
  }
  for (std::size_t i = 0; i < sorted.size(); ++i) rankOrder_[i] = sorted[i].index;

  // Whether a browser runs is asked once, and only for the browsers that have tabs listed.
  std::array<std::optional<bool>, browsers::kCount> running;
  auto runs = [&](std::uint8_t b) {
    auto& known = running[b];
    if (!known)
      known =
          services_.runningApps->first(std::string(browsers::bundleID(static_cast<Browser>(b)))).has_value();
    return *known;
  };

  // The real windows' numbers and owners, sorted for lookups.
  const auto listed = services_.windows->sharedKeys(false);

  // One process-table question per process, asked before the walk.
  std::sort(pids.begin(), pids.end());
  pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
  std::vector<char> gone(pids.size());
  for (std::size_t i = 0; i < pids.size(); ++i) gone[i] = isDead(pids[i]);
  auto processGone = [&](platform::Pid pid) {
    const auto at = std::lower_bound(pids.begin(), pids.end(), pid) - pids.begin();
    return gone[static_cast<std::size_t>(at)] != 0;
  };

  std::vector<std::uint32_t> kept;
  kept.reserve(sorted.size());
  std::vector<char> showsTabs(tabBundles.size());
  for (std::size_t position = 0; position < sorted.size(); ++position) {
    const std::uint32_t index = sorted[position].index;
    const Facts& f = facts[index];
    if (f.tab) {
      // The entry in front is never expired: it is the one the user is leaving.
      if (position != 0 && f.expired) continue;
      if (f.browser < browsers::kCount && !runs(f.browser)) continue;
      kept.push_back(index);
      showsTabs[f.tabBundle] = 1;
      continue;
    }
    if (f.hasPid && processGone(f.pid)) continue;
    if (!listed->numbers.empty()) {
      if (f.hasWindow) {
        if (!listed->hasNumber(f.windowNumber)) continue;
      } else if (f.hasPid && !listed->hasPid(f.pid)) {
        continue;
      }
    }
    kept.push_back(index);
  }

  auto hidesForTabs = [&](const SwitchableItem& e) {
    for (std::size_t b = 0; b < tabBundles.size(); ++b)
      if (showsTabs[b] && tabBundles[b] == e.bundleID) return true;
    return false;
  };
  std::size_t count = 0;
  constexpr std::size_t kAhead = 4;  // entries are scattered: ask for the next ones early
  for (std::size_t k = 0; k < kept.size(); ++k) {
    if (k + kAhead < kept.size()) __builtin_prefetch(&items[kept[k + kAhead]]);
    const SwitchableItem& e = items[kept[k]];
    if (!facts[kept[k]].tab && hidesForTabs(e)) continue;
    if (count < list.size()) {
      list[count] = e;
    } else {
      if (count == list.size()) list.reserve(kept.size());
      list.push_back(e);
    }
    ++count;
  }
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(count), list.end());
}

std::set<std::int64_t> MRUManager::closedWindowNumbers(const std::vector<OffScreenWindow>& offScreen,
                                                       const AXAnswers& answers,
                                                       const std::set<std::int64_t>& onSpace) {
  std::set<std::int64_t> closed;
  for (const auto& w : offScreen) {
    auto it = answers.find(w.pid);
    if (it == answers.end() || !it->second) continue;
    if (!it->second->contains(w.number) && !onSpace.contains(w.number)) closed.insert(w.number);
  }
  return closed;
}

std::set<platform::Pid> MRUManager::pidsWithNoWindows(const std::vector<platform::Pid>& appPIDs,
                                                      const AXAnswers& answers,
                                                      const std::set<platform::Pid>& pidsOnSpace) {
  std::set<platform::Pid> windowless;
  for (platform::Pid pid : appPIDs) {
    auto it = answers.find(pid);
    if (it == answers.end() || !it->second) continue;
    if (it->second->empty() && !pidsOnSpace.contains(pid)) windowless.insert(pid);
  }
  return windowless;
}

std::vector<SwitchableItem> MRUManager::resolvingOffScreenWindows(std::vector<SwitchableItem> list) {
  const auto onScreen = services_.windows->sharedKeys(true);

  // This runs inside the key press that opens a chord: the sets below are sorted vectors, made
  // without a node per element, and each step that has nothing to do is left out.
  std::vector<OffScreenWindow> offScreen;
  // Where the window entries not on screen lie: only those windows are asked whether they are
  // minimized, so only those entries can be marked.
  std::vector<std::uint32_t> offScreenAt;
  std::vector<platform::Pid> candidates;
  std::array<std::optional<platform::Pid>, browsers::kCount> browserPIDs{};
  // A browser's running instance is looked up once, not per tab.
  std::array<bool, browsers::kCount> browsersAsked{};
  for (std::size_t at = 0; at < list.size(); ++at) {
    const SwitchableItem& e = list[at];
    if (e.isWindow() && !onScreen->hasNumber(*e.windowNumber)) {
      offScreenAt.push_back(static_cast<std::uint32_t>(at));
      if (e.pid) offScreen.push_back({*e.windowNumber, *e.pid});
    }
    if (e.kind == ItemKind::app && !e.windowNumber && e.pid) candidates.push_back(*e.pid);
    if (e.kind == ItemKind::tab && e.browser &&
        !std::exchange(browsersAsked[static_cast<std::size_t>(*e.browser)], true)) {
      if (auto app = services_.runningApps->first(std::string(browsers::bundleID(*e.browser)))) {
        candidates.push_back(app->pid);
        browserPIDs[static_cast<std::size_t>(*e.browser)] = app->pid;
      }
    }
  }
  auto sortUnique = [](auto& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
  };
  auto has = [](const auto& sorted, const auto& value) {
    return std::binary_search(sorted.begin(), sorted.end(), value);
  };
  sortUnique(candidates);
  std::erase_if(candidates, [&](platform::Pid pid) { return onScreen->hasPid(pid); });
  if (offScreen.empty() && candidates.empty()) return list;

  std::vector<platform::Pid> toAsk = candidates;
  for (const auto& w : offScreen) toAsk.push_back(w.pid);
  sortUnique(toAsk);
  // Each application's answer: whether its windows could be told, and which they are (a sorted
  // run of `listed`). In ascending process order, as asked.
  struct Answer {
    platform::Pid pid;
    bool told;
    std::uint32_t begin, end;
  };
  std::vector<Answer> answers;
  answers.reserve(toAsk.size());
  std::vector<std::int64_t> listed, minimized;
  // A window the window server shows on screen is not minimized: only the others are asked.
  const std::function<bool(std::int64_t)> mayBeMinimized = [&](std::int64_t number) {
    return !onScreen->hasNumber(number);
  };
  const double deadline = services_.loop->uptime() + kOffScreenCheckDeadline;
  for (platform::Pid pid : toAsk) {
    if (services_.loop->uptime() >= deadline) {
      services_.log->log(
          "snapshot: off-screen check out of time; leaving the remaining apps' windows as they are");
      break;
    }
    if (services_.workspace->isTerminated(pid)) continue;  // asked without copying the application
    auto states = services_.ax->windowStatesIfEnumerable(pid, deadline, mayBeMinimized);
    if (!states) {
      answers.push_back({pid, false, 0, 0});
      continue;
    }
    const auto begin = static_cast<std::uint32_t>(listed.size());
    for (const auto& state : *states) {
      listed.push_back(state.number);
      if (state.minimized) minimized.push_back(state.number);
    }
    std::sort(listed.begin() + begin, listed.end());
    answers.push_back({pid, true, begin, static_cast<std::uint32_t>(listed.size())});
  }
  sortUnique(minimized);
  // The answer of a process that was asked and could tell its windows.
  auto toldAnswer = [&](platform::Pid pid) -> const Answer* {
    auto at = std::lower_bound(answers.begin(), answers.end(), pid,
                               [](const Answer& a, platform::Pid p) { return a.pid < p; });
    return at != answers.end() && at->pid == pid && at->told ? &*at : nullptr;
  };
  auto lists = [&](const Answer& a, std::int64_t number) {
    return std::binary_search(listed.begin() + a.begin, listed.begin() + a.end, number);
  };
  // The window list read before Accessibility answered serves below too. A window opened since
  // is in no answer and cannot make a process windowless; one closed since at worst counts as on
  // another Space, which keeps its process's entries: nothing is dropped on the older list's word.

  // Windows that Accessibility does not list may simply be on another Space.
  std::vector<std::int64_t> unlisted;
  std::vector<std::pair<std::int64_t, platform::Pid>> ownerOf;
  const WindowList::Windows windows = services_.windows->sharedRealWindows(false);
  for (const auto& row : *windows) {
    const Answer* a = toldAnswer(row.pid);
    if (!a || lists(*a, row.windowNumber)) continue;
    unlisted.push_back(row.windowNumber);
    ownerOf.emplace_back(row.windowNumber, row.pid);
  }
  std::set<std::int64_t> hidden;
  std::vector<platform::Pid> pidsOnSpace;
  if (!unlisted.empty()) {
    hidden = services_.windows->numbersOnHiddenSpaces(unlisted);
    for (const auto& [number, pid] : ownerOf)
      if (hidden.contains(number)) pidsOnSpace.push_back(pid);
    sortUnique(pidsOnSpace);
  }

  std::vector<std::int64_t> closed;
  for (const auto& w : offScreen) {
    const Answer* a = toldAnswer(w.pid);
    if (a && !lists(*a, w.number) && !hidden.contains(w.number)) closed.push_back(w.number);
  }
  sortUnique(closed);
  if (!closed.empty())
    services_.log->log("snapshot dropped " + std::to_string(closed.size()) +
                       " closed-but-cached window(s): " + bracketed(closed));
  std::vector<platform::Pid> windowless;
  for (platform::Pid pid : candidates)
    if (const Answer* a = toldAnswer(pid); a && a->begin == a->end && !has(pidsOnSpace, pid))
      windowless.push_back(pid);
  if (!windowless.empty())
    services_.log->log("snapshot dropped app and tab entries of windowless pid(s): " + bracketed(windowless));

  if (!minimized.empty())
    for (std::uint32_t at : offScreenAt)
      if (has(minimized, *list[at].windowNumber)) list[at].isMinimized = true;
  if (closed.empty() && windowless.empty()) return list;
  std::erase_if(list, [&](const SwitchableItem& e) {
    if (e.isWindow()) return has(closed, *e.windowNumber);
    if (e.kind == ItemKind::app && e.pid && has(windowless, *e.pid)) return true;
    if (e.kind == ItemKind::tab && e.browser) {
      const auto& pid = browserPIDs[static_cast<std::size_t>(*e.browser)];
      if (pid && has(windowless, *pid)) return true;
    }
    return false;
  });
  return list;
}

}  // namespace velvix
