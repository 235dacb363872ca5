// The ranked list of a chord: the inventory in recency order, with nothing the user cannot
// switch to. The first pass asks only the window server and the process table; the second asks
// Accessibility, under a deadline, about windows that are listed but not shown.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <sstream>
#include <utility>

#include "Bridge/AXWindowBridge.hpp"
#include "Core/ChordSnapshot.hpp"
#include "Core/MRUManager.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/DebugLog.hpp"
#include "Support/IntegerSet.hpp"
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

// An entry's place in the recency order: its position in the inventory breaks ties, so the order
// is one and the same whatever order the sort starts from.
struct RecencyFact {
  bool seeded;
  double lastActivatedAt;  // a number
  std::uint32_t index;
};

bool rankedBefore(const RecencyFact& a, const RecencyFact& b) {
  if (MRUManager::recencyBefore(a.seeded, a.lastActivatedAt, b.seeded, b.lastActivatedAt)) return true;
  if (MRUManager::recencyBefore(b.seeded, b.lastActivatedAt, a.seeded, a.lastActivatedAt)) return false;
  return a.index < b.index;
}

// The date as an unsigned key that is smaller the later the date; the two zeros are one date.
std::uint64_t laterFirstKey(double date) {
  if (date == 0) date = 0;
  const auto bits = std::bit_cast<std::uint64_t>(date);
  const std::uint64_t ascending = (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
  return ~ascending;
}

// The facts, in inventory order, sorted by recency in passes over one byte of the date key
// each, least significant first, and last over the seeded flag. Each pass keeps the order of
// entries with equal digits, so equally recent entries keep the inventory's order. Time grows
// with the entries alone, and a byte that every date shares (the dates of one day share most
// of theirs) takes no pass.
void radixSortByRecency(const std::vector<RecencyFact>& byIndex, std::vector<std::uint32_t>& order) {
  struct Keyed {
    std::uint64_t key;
    std::uint32_t index;
    std::uint32_t seeded;
  };
  constexpr int kDigits = 9;  // eight bytes of the key, then the flag
  auto digit = [](const Keyed& k, int d) -> std::size_t {
    return d < 8 ? static_cast<std::size_t>((k.key >> (8 * d)) & 0xFF) : k.seeded;
  };
  std::vector<Keyed> keyed(byIndex.size()), spare(byIndex.size());
  std::array<std::array<std::uint32_t, 256>, kDigits> starts{};
  for (std::size_t i = 0; i < byIndex.size(); ++i) {
    const RecencyFact& f = byIndex[i];
    Keyed& k = keyed[i];
    k = {laterFirstKey(f.lastActivatedAt), f.index, f.seeded ? 1u : 0u};
    for (int d = 0; d < kDigits; ++d) ++starts[d][digit(k, d)];
  }
  for (int d = 0; d < kDigits; ++d) {
    auto& start = starts[d];
    if (start[digit(keyed.front(), d)] == keyed.size()) continue;
    std::uint32_t sum = 0;
    for (std::uint32_t& count : start) sum += std::exchange(count, sum);
    for (const Keyed& k : keyed) spare[start[digit(k, d)]++] = k;
    keyed.swap(spare);
  }
  for (std::size_t i = 0; i < keyed.size(); ++i) order[i] = keyed[i].index;
}

// Sorts `order` (positions in the inventory, in the last ranking's order) by recency. The
// inventory changes little between chords: insertion sort then takes one pass over an order that
// is nearly right. When many neighbours are out of order, or past a budget of moves, the order
// was far off, and the general sort takes over.
void rankByRecency(const std::vector<RecencyFact>& byIndex, std::vector<std::uint32_t>& order) {
  const std::size_t size = order.size();
  if (size < 2) return;
  constexpr std::size_t kRadixFrom = 256;  // below, the radix sort's tables cost more than they save
  auto generalSort = [&] {
    if (size >= kRadixFrom) {
      radixSortByRecency(byIndex, order);
      return;
    }
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return rankedBefore(byIndex[a], byIndex[b]); });
  };
  const std::size_t outOfOrderLimit = size / 32 + 8;
  std::size_t outOfOrder = 0;
  for (std::size_t i = 1; i < size && outOfOrder <= outOfOrderLimit; ++i)
    outOfOrder += rankedBefore(byIndex[order[i]], byIndex[order[i - 1]]) ? 1 : 0;
  if (outOfOrder > outOfOrderLimit) {
    generalSort();
    return;
  }
  std::vector<RecencyFact> sorted;
  sorted.reserve(size);
  for (std::uint32_t index : order) sorted.push_back(byIndex[index]);
  const std::size_t budget = 8 * size + 64;
  std::size_t moves = 0;
  for (std::size_t i = 1; i < size; ++i) {
    const RecencyFact next = sorted[i];
    std::size_t at = i;
    for (; at > 0 && rankedBefore(next, sorted[at - 1]); --at) sorted[at] = sorted[at - 1];
    sorted[at] = next;
    moves += i - at;
    if (moves > budget) {
      generalSort();
      return;
    }
  }
  for (std::size_t i = 0; i < size; ++i) order[i] = sorted[i].index;
}

}  // namespace

std::vector<SwitchableItem> MRUManager::rankedForSwitcher() {
  std::vector<SwitchableItem> list;
  rankedForSwitcher(list, ChordSnapshot(windowList_, runningApps_));
  return list;
}

void MRUManager::rankedForSwitcher(std::vector<SwitchableItem>& list, const ChordSnapshot& snapshot) {
  // The entries are large and scattered: they are read once, in inventory order, for the few
  // facts the ranking needs, and the sort and the filter work on those compact facts. Only the
  // entries that stay are read again, to be copied.
  struct Facts {
    std::int64_t windowNumber;
    platform::Pid pid;
    bool hasWindow;
    bool hasPid;
    bool tab;
    bool expired;               // a tab last used before the expiry
    std::uint8_t browser;       // browsers::kCount for none
    std::uint8_t tabBundle;     // a tab's application among those with tabs listed
    std::uint8_t bundleLength;  // the bundle id's length, 255 for any longer
  };
  const auto size = static_cast<std::uint32_t>(items_.size());
  const double cutOff = now() - kTabExpiry;
  // A browser or terminal whose tabs are listed shows its tabs, not its application or windows.
  std::vector<std::string_view> tabBundles;  // a few at most
  std::vector<Facts> facts(size);
  std::vector<RecencyFact> byIndex(size);
  // Each process is asked about once; an application has several entries.
  IntegerSet seenPids(size / 2);
  std::vector<platform::Pid> pids;
  for (std::uint32_t index = 0; index < size; ++index) {
    const SwitchableItem& e = items_[index];
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
    f.bundleLength = static_cast<std::uint8_t>(std::min<std::size_t>(e.bundleID.size(), 255));
    if (f.tab) {
      auto at = std::find(tabBundles.begin(), tabBundles.end(), e.bundleID);
      if (at == tabBundles.end()) at = tabBundles.insert(tabBundles.end(), e.bundleID);
      f.tabBundle = static_cast<std::uint8_t>(std::min<std::ptrdiff_t>(at - tabBundles.begin(), 255));
    } else if (f.hasPid && seenPids.insert(f.pid)) {
      pids.push_back(f.pid);
    }
    // A date that is not a number counts as the oldest: the sort needs a consistent order.
    byIndex[index] = {e.seeded, std::isnan(e.lastActivatedAt) ? -kForever : e.lastActivatedAt, index};
  }

  // The positions of the last ranking, with those past a shrunk inventory left out and those of
  // new entries at the end, are where the sort starts.
  std::erase_if(rankOrder_, [&](std::uint32_t index) { return index >= size; });
  for (auto index = static_cast<std::uint32_t>(rankOrder_.size()); index < size; ++index)
    rankOrder_.push_back(index);
  rankByRecency(byIndex, rankOrder_);

  // Which entries stay is decided on the facts, before anything is copied, but for whether a
  // window is still listed: that needs the window server's rows, read after the copy. The entry
  // in front is never expired: it is the one the user is leaving.
  const std::uint32_t front = size > 0 ? rankOrder_[0] : 0;
  // Whether a browser runs is asked once, and only for the browsers that have tabs listed.
  std::array<std::optional<bool>, browsers::kCount> running;
  auto runs = [&](std::uint8_t b) {
    auto& known = running[b];
    if (!known) known = snapshot.runningBrowser(static_cast<Browser>(b)).has_value();
    return *known;
  };
  // One process-table question per process, asked before the walk; mostly none has gone.
  IntegerSet gone;
  for (platform::Pid pid : pids)
    if (isDead(pid)) gone.insert(pid);
  auto processGone = [&](platform::Pid pid) { return !gone.empty() && gone.contains(pid); };
  std::vector<char> stays(size, 0);
  std::vector<char> showsTabs(tabBundles.size());
  for (std::uint32_t index = 0; index < size; ++index) {
    const Facts& f = facts[index];
    if (f.tab) {
      if (index != front && f.expired) continue;
      if (f.browser < browsers::kCount && !runs(f.browser)) continue;
      stays[index] = 1;
      showsTabs[f.tabBundle] = 1;
      continue;
    }
    if (f.hasPid && processGone(f.pid)) continue;
    stays[index] = 1;
  }
  // A listed tab hides the other entries of its application. Its bundle id is compared only
  // with entries whose bundle id is as long: the lengths were read with the facts, and the
  // strings themselves are then read for few entries.
  std::array<bool, 256> hidingLength{};
  bool anyHides = false;
  for (std::size_t b = 0; b < tabBundles.size(); ++b)
    if (showsTabs[b]) {
      hidingLength[std::min<std::size_t>(tabBundles[b].size(), 255)] = true;
      anyHides = true;
    }
  auto hidesForTabs = [&](const std::string& bundleID) {
    for (std::size_t b = 0; b < tabBundles.size(); ++b)
      if (showsTabs[b] && tabBundles[b] == bundleID) return true;
    return false;
  };
  if (anyHides)
    for (std::uint32_t index = 0; index < size; ++index) {
      const Facts& f = facts[index];
      if (stays[index] && !f.tab && hidingLength[f.bundleLength] && hidesForTabs(items_[index].bundleID))
        stays[index] = 0;
    }

  // Every entry that stays is copied to its place in the list now, while the entries just read
  // are still in the cache: the window server's rows, read next, push them out. The entries are
  // read in inventory order, where they lie one after another; each place reuses the strings it
  // held. The places are scattered, and so are the strings: their memory is asked for some
  // entries ahead.
  auto prefetchEntry = [](const SwitchableItem& e) {
    const char* begin = reinterpret_cast<const char*>(&e);
    for (const char* p = begin; p < begin + sizeof(SwitchableItem); p += 64) __builtin_prefetch(p, 1);
  };
  auto prefetchStrings = [](const SwitchableItem& e, int write) {
    __builtin_prefetch(e.id.data(), write);
    __builtin_prefetch(e.bundleID.data(), write);
    __builtin_prefetch(e.title.data(), write);
    if (e.url) __builtin_prefetch(e.url->data(), write);
  };
  constexpr std::size_t kEntriesAhead = 8, kStringsAhead = 4;
  std::vector<std::uint32_t> place(size, 0);
  std::uint32_t placed = 0;
  for (std::uint32_t k = 0; k < size; ++k)
    if (stays[rankOrder_[k]]) place[rankOrder_[k]] = placed++;
  list.resize(placed);
  for (std::size_t index = 0; index < size; ++index) {
    if (index + kEntriesAhead < size && stays[index + kEntriesAhead])
      prefetchEntry(list[place[index + kEntriesAhead]]);
    if (index + kStringsAhead < size && stays[index + kStringsAhead]) {
      prefetchStrings(items_[index + kStringsAhead], 0);
      prefetchStrings(list[place[index + kStringsAhead]], 1);
    }
    if (stays[index]) list[place[index]] = items_[index];
  }

  // A window or application entry whose window, or process, the window server no longer lists
  // leaves the list, the others keeping their order. Mostly every one is listed, and the list is
  // not touched again.
  const WindowList::Keys& listed = snapshot.keys(false);
  if (listed.empty()) return;
  std::size_t kept = 0, at = 0;  // `at` walks the list's places in ranked order
  for (std::uint32_t index : rankOrder_) {
    if (!stays[index]) continue;
    const Facts& f = facts[index];
    const bool unlisted =
        !f.tab && (f.hasWindow ? !listed.hasNumber(f.windowNumber) : f.hasPid && !listed.hasPid(f.pid));
    if (!unlisted) {
      if (kept != at) list[kept] = std::move(list[at]);
      ++kept;
    }
    ++at;
  }
  list.resize(kept);
}

void MRUManager::AXAnswers::add(platform::Pid pid, std::optional<std::span<const std::int64_t>> numbers) {
  const auto begin = static_cast<std::uint32_t>(numbers_.size());
  if (numbers) {
    numbers_.insert(numbers_.end(), numbers->begin(), numbers->end());
    std::sort(numbers_.begin() + begin, numbers_.end());
  }
  const Answer answer{pid, numbers.has_value(), begin, static_cast<std::uint32_t>(numbers_.size())};
  auto at = std::lower_bound(answers_.begin(), answers_.end(), pid,
                             [](const Answer& a, platform::Pid p) { return a.pid < p; });
  answers_.insert(at, answer);
}

std::optional<std::span<const std::int64_t>> MRUManager::AXAnswers::windowsOf(platform::Pid pid) const {
  auto at = std::lower_bound(answers_.begin(), answers_.end(), pid,
                             [](const Answer& a, platform::Pid p) { return a.pid < p; });
  if (at == answers_.end() || at->pid != pid || !at->told) return std::nullopt;
  return std::span<const std::int64_t>(numbers_.data() + at->begin, at->end - at->begin);
}

std::vector<std::int64_t> MRUManager::closedWindowNumbers(const std::vector<OffScreenWindow>& offScreen,
                                                          const AXAnswers& answers,
                                                          const std::set<std::int64_t>& onSpace) {
  std::vector<std::int64_t> closed;
  for (const auto& w : offScreen) {
    const auto listed = answers.windowsOf(w.pid);
    if (listed && !std::binary_search(listed->begin(), listed->end(), w.number) &&
        !onSpace.contains(w.number))
      closed.push_back(w.number);
  }
  std::sort(closed.begin(), closed.end());
  closed.erase(std::unique(closed.begin(), closed.end()), closed.end());
  return closed;
}

std::vector<platform::Pid> MRUManager::pidsWithNoWindows(const std::vector<platform::Pid>& appPIDs,
                                                         const AXAnswers& answers,
                                                         const std::vector<platform::Pid>& pidsOnSpace) {
  std::vector<platform::Pid> windowless;
  for (platform::Pid pid : appPIDs)
    if (const auto listed = answers.windowsOf(pid);
        listed && listed->empty() && !std::binary_search(pidsOnSpace.begin(), pidsOnSpace.end(), pid))
      windowless.push_back(pid);
  return windowless;
}

std::vector<SwitchableItem> MRUManager::resolvingOffScreenWindows(std::vector<SwitchableItem> list) {
  return resolvingOffScreenWindows(std::move(list), ChordSnapshot(windowList_, runningApps_));
}

std::vector<SwitchableItem> MRUManager::resolvingOffScreenWindows(std::vector<SwitchableItem> list,
                                                                  const ChordSnapshot& snapshot) {
  const WindowList::Keys& onScreen = snapshot.keys(true);

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
    if (e.isWindow() && !onScreen.hasNumber(*e.windowNumber)) {
      offScreenAt.push_back(static_cast<std::uint32_t>(at));
      if (e.pid) offScreen.push_back({*e.windowNumber, *e.pid});
    }
    if (e.kind == ItemKind::app && !e.windowNumber && e.pid) candidates.push_back(*e.pid);
    if (e.kind == ItemKind::tab && e.browser &&
        !std::exchange(browsersAsked[static_cast<std::size_t>(*e.browser)], true)) {
      if (const auto& app = snapshot.runningBrowser(*e.browser)) {
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
  std::erase_if(candidates, [&](platform::Pid pid) { return onScreen.hasPid(pid); });
  if (offScreen.empty() && candidates.empty()) return list;

  std::vector<platform::Pid> toAsk = candidates;
  for (const auto& w : offScreen) toAsk.push_back(w.pid);
  sortUnique(toAsk);
  AXAnswers answers;
  std::vector<std::int64_t> numbers, minimized;
  // A window the window server shows on screen is not minimized: only the others are asked.
  const std::function<bool(std::int64_t)> mayBeMinimized = [&](std::int64_t number) {
    return !onScreen.hasNumber(number);
  };
  const double deadline = loop_.uptime() + kOffScreenCheckDeadline;
  for (platform::Pid pid : toAsk) {
    if (loop_.uptime() >= deadline) {
      log_.log("snapshot: off-screen check out of time; leaving the remaining apps' windows as they are");
      break;
    }
    if (workspace_.isTerminated(pid)) continue;  // asked without copying the application
    auto states = ax_.windowStatesIfEnumerable(pid, deadline, mayBeMinimized);
    if (!states) {
      answers.add(pid, std::nullopt);
      continue;
    }
    numbers.clear();
    for (const auto& state : *states) {
      numbers.push_back(state.number);
      if (state.minimized) minimized.push_back(state.number);
    }
    answers.add(pid, numbers);
  }
  sortUnique(minimized);
  // The window list read before Accessibility answered serves below too. A window opened since
  // is in no answer and cannot make a process windowless; one closed since at worst counts as on
  // another Space, which keeps its process's entries: nothing is dropped on the older list's word.

  // Windows that Accessibility does not list may simply be on another Space.
  std::vector<std::int64_t> unlisted;
  std::vector<std::pair<std::int64_t, platform::Pid>> ownerOf;
  for (const auto& row : snapshot.windows()) {
    const auto listed = answers.windowsOf(row.pid);
    if (!listed || std::binary_search(listed->begin(), listed->end(), row.windowNumber)) continue;
    unlisted.push_back(row.windowNumber);
    ownerOf.emplace_back(row.windowNumber, row.pid);
  }
  std::set<std::int64_t> hidden;
  std::vector<platform::Pid> pidsOnSpace;
  if (!unlisted.empty()) {
    hidden = windowList_.numbersOnHiddenSpaces(unlisted);
    for (const auto& [number, pid] : ownerOf)
      if (hidden.contains(number)) pidsOnSpace.push_back(pid);
    sortUnique(pidsOnSpace);
  }

  const std::vector<std::int64_t> closed = closedWindowNumbers(offScreen, answers, hidden);
  if (!closed.empty())
    log_.log("snapshot dropped " + std::to_string(closed.size()) +
             " closed-but-cached window(s): " + bracketed(closed));
  const std::vector<platform::Pid> windowless = pidsWithNoWindows(candidates, answers, pidsOnSpace);
  if (!windowless.empty())
    log_.log("snapshot dropped app and tab entries of windowless pid(s): " + bracketed(windowless));

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
