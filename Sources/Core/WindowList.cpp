#include "Core/WindowList.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "Bridge/AXWindowBridge.hpp"
#include "Core/ChordSnapshot.hpp"
#include "Platform/WindowServer.hpp"
#include "Support/Browser.hpp"

namespace velvix {

using Json = nlohmann::json;
using Row = platform::WindowRow;
namespace Key = platform::WindowKey;

namespace {

// Space identifiers are unsigned 64-bit numbers; a non-negative integer of any JSON kind reads.
std::optional<std::uint64_t> spaceID(const Json& value) {
  if (value.is_number_unsigned()) return value.get<std::uint64_t>();
  if (value.is_number_integer() && value.get<std::int64_t>() >= 0) return value.get<std::uint64_t>();
  return std::nullopt;
}

// The fields of a window-list row that the list reads, found in one pass over the row: looking
// each key up on its own costs several times as much, and the list is read as a chord opens.
struct RowFields {
  const Row* number = nullptr;
  const Row* pid = nullptr;
  const Row* layer = nullptr;
  const Row* bounds = nullptr;
  const Row* name = nullptr;
  const Row* onScreen = nullptr;
};

// Keys are told apart by their length first: most of a row's keys then cost no string comparison.
// The row's own entries are walked, where they lie, not through the loosely typed iterator.
RowFields fieldsOf(const Row& row) {
  static constexpr std::string_view kNumber = Key::kNumber, kPID = Key::kOwnerPID, kLayer = Key::kLayer,
                                    kBounds = Key::kBounds, kName = Key::kName, kOnScreen = Key::kIsOnscreen;
  RowFields f;
  for (const auto& [name, value] : row.get_ref<const Row::object_t&>()) {
    const std::string_view key = name;
    switch (key.size()) {
      case kName.size():
        if (key == kName) f.name = &value;
        break;
      case kLayer.size():
        if (key == kLayer) f.layer = &value;
        break;
      case kNumber.size():
        static_assert(kBounds.size() == kNumber.size());
        if (key == kNumber) {
          f.number = &value;
        } else if (key == kBounds) {
          f.bounds = &value;
        }
        break;
      case kPID.size():
        if (key == kPID) f.pid = &value;
        break;
      case kOnScreen.size():
        if (key == kOnScreen) f.onScreen = &value;
        break;
      default:
        break;
    }
  }
  return f;
}

// The numbers are read where they lie, by their kind, as the generic conversion would convert them.
std::optional<std::int64_t> integerOf(const Row* value) {
  if (!value) return std::nullopt;
  if (const auto* n = value->get_ptr<const Row::number_integer_t*>()) return *n;
  if (const auto* u = value->get_ptr<const Row::number_unsigned_t*>()) return static_cast<std::int64_t>(*u);
  return std::nullopt;
}

std::optional<double> numberOf(const Row* value) {
  if (const auto* d = value->get_ptr<const Row::number_float_t*>()) return *d;
  if (const auto* n = value->get_ptr<const Row::number_integer_t*>()) return static_cast<double>(*n);
  if (const auto* u = value->get_ptr<const Row::number_unsigned_t*>()) return static_cast<double>(*u);
  return std::nullopt;
}

std::optional<Rect> boundsOf(const Row* value) {
  if (!value || !value->is_object()) return std::nullopt;
  const Row* parts[4] = {};
  for (const auto& [name, part] : value->get_ref<const Row::object_t&>()) {
    const std::string_view key = name;
    int at = -1;
    switch (key.size()) {
      case 1:
        at = key[0] == 'X' ? 0 : key[0] == 'Y' ? 1 : -1;
        break;
      case 5:
        at = key == "Width" ? 2 : -1;
        break;
      case 6:
        at = key == "Height" ? 3 : -1;
        break;
      default:
        break;
    }
    if (at >= 0) parts[at] = &part;
  }
  double numbers[4];
  for (int i = 0; i < 4; ++i) {
    const auto number = parts[i] ? numberOf(parts[i]) : std::nullopt;
    if (!number) return std::nullopt;
    numbers[i] = *number;
  }
  return Rect{numbers[0], numbers[1], numbers[2], numbers[3]};
}

// A short strip lying along the top edge of a taller window of the same process, such as a
// detached toolbar or a title-bar accessory, is part of that window, not a window of its own.
bool isThinStripAbove(const WindowList::Info& w, const WindowList::Info& o) {
  return w.pid == o.pid && w.windowNumber != o.windowNumber &&
         std::abs(w.bounds.minX() - o.bounds.minX()) < 1.0 &&
         std::abs(w.bounds.width - o.bounds.width) < 1.0 && w.bounds.height * 3.0 < o.bounds.height &&
         w.bounds.minY() <= o.bounds.minY() && o.bounds.minY() - 1.0 <= w.bounds.maxY();
}

// Which windows are thin strips above another, without testing every pair: a strip and its
// window belong to one process, their left edges lie less than a point apart (so in the same or
// a neighbouring whole-point column), and the window is more than three times as tall. Windows
// are ordered by process, column and height, tallest first: the windows of one process and
// column then form a run, with the neighbouring columns' runs right before and after it, and each
// window looks only at the taller windows of those three runs.
std::vector<bool> thinStrips(const std::vector<WindowList::Info>& windows) {
  struct Entry {
    platform::Pid pid;
    std::uint32_t runBegin;  // the entries of the same process and column
    std::uint32_t runEnd;
    double column;
    double height;
    std::size_t index;
  };
  // Left edges and widths that are not finite never lie within a point of another; a height that
  // is not a number is never three times another. Such windows can neither be nor have a strip.
  auto comparable = [](const Rect& r) {
    return std::isfinite(r.x) && std::isfinite(r.width) && !std::isnan(r.height);
  };
  // A strip is less than a third as tall as its window: when no window is, there is none to find,
  // which is the common case and spares the ordering below.
  double shortest = std::numeric_limits<double>::infinity(), tallest = -shortest;
  for (const WindowList::Info& w : windows)
    if (comparable(w.bounds)) {
      shortest = std::min(shortest, w.bounds.height);
      tallest = std::max(tallest, w.bounds.height);
    }
  if (!(shortest * 3.0 < tallest)) return std::vector<bool>(windows.size(), false);
  std::vector<Entry> order;
  order.reserve(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i)
    if (comparable(windows[i].bounds))
      order.push_back(
          {windows[i].pid, 0, 0, std::floor(windows[i].bounds.minX()), windows[i].bounds.height, i});
  std::sort(order.begin(), order.end(), [](const Entry& a, const Entry& b) {
    if (a.pid != b.pid) return a.pid < b.pid;
    if (a.column != b.column) return a.column < b.column;
    return a.height > b.height;
  });
  for (std::size_t begin = 0; begin < order.size();) {
    std::size_t end = begin + 1;
    while (end < order.size() && order[end].pid == order[begin].pid &&
           order[end].column == order[begin].column)
      ++end;
    for (std::size_t k = begin; k < end; ++k) {
      order[k].runBegin = static_cast<std::uint32_t>(begin);
      order[k].runEnd = static_cast<std::uint32_t>(end);
    }
    begin = end;
  }

  auto stripOverRun = [&](const Entry& w, const Entry& run) {
    for (std::size_t o = run.runBegin; o < run.runEnd && w.height * 3.0 < order[o].height; ++o)
      if (isThinStripAbove(windows[w.index], windows[order[o].index])) return true;
    return false;
  };
  std::vector<bool> strips(windows.size(), false);
  for (const Entry& w : order) {
    bool strip = stripOverRun(w, w);
    // Far out, a point is below the precision: no run then lies a column to the left or right.
    if (!strip && w.runBegin > 0) {
      const Entry& left = order[w.runBegin - 1];
      strip = left.pid == w.pid && left.column == w.column - 1 && stripOverRun(w, left);
    }
    if (!strip && w.runEnd < order.size()) {
      const Entry& right = order[w.runEnd];
      strip = right.pid == w.pid && right.column == w.column + 1 && stripOverRun(w, right);
    }
    strips[w.index] = strip;
  }
  return strips;
}

// Strips leave the list where it lies, the others keeping their order.
std::vector<WindowList::Info> withoutStrips(std::vector<WindowList::Info> candidates,
                                            const std::vector<bool>& strips) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (!strips[i]) {
      if (kept != i) candidates[kept] = std::move(candidates[i]);
      ++kept;
    }
  candidates.resize(kept);
  return candidates;
}

std::vector<WindowList::Info> withoutThinStrips(std::vector<WindowList::Info> candidates) {
  const std::vector<bool> strips = thinStrips(candidates);
  return withoutStrips(std::move(candidates), strips);
}

}  // namespace

bool WindowList::floatsCount(platform::Pid pid) const {
  auto app = workspace_.application(pid);
  if (!app || app->activationPolicy != platform::ActivationPolicy::Regular) return false;
  return !app->bundleIdentifier || !browsers::fromBundleID(*app->bundleIdentifier);
}

std::vector<WindowList::Info> WindowList::realWindows(bool onScreenOnly) const {
  return withoutThinStrips(readCandidates(onScreenOnly));
}

WindowList::ChordRead WindowList::readForChord() const {
  ChordRead read;
  auto candidates = std::make_shared<const std::vector<Info>>(readCandidates(false, &read.rows));
  const std::vector<bool> strips = thinStrips(*candidates);
  // Mostly there is no strip at all: the candidates are then the list itself.
  const bool anyStrip = std::find(strips.begin(), strips.end(), true) != strips.end();
  read.all =
      anyStrip ? std::make_shared<const std::vector<Info>>(withoutStrips(*candidates, strips)) : candidates;
  // Strips are judged among the windows of the kind asked for, as a read of that kind would. A
  // strip among the on-screen windows is one among all windows too, so only when an on-screen
  // window was a strip among all of them must the on-screen ones be judged again; otherwise they
  // are the windows of the list of all that are marked on screen.
  bool judgeAgain = false;
  for (std::size_t i = 0; i < candidates->size() && !judgeAgain; ++i)
    judgeAgain = (*candidates)[i].isOnScreen && strips[i];
  if (judgeAgain) {
    std::vector<Info> onScreen;
    onScreen.reserve(candidates->size());
    for (const Info& w : *candidates)
      if (w.isOnScreen) onScreen.push_back(w);
    read.onScreen = withoutThinStrips(std::move(onScreen));
  }
  return read;
}

std::vector<WindowList::Info> WindowList::readCandidates(bool onScreenOnly,
                                                         std::shared_ptr<const void>* keptRows,
                                                         std::optional<platform::Pid> onlyOf) const {
  const std::uint32_t options =
      platform::kWindowListExcludeDesktopElements | (onScreenOnly ? platform::kWindowListOnScreenOnly : 0);
  auto rows = server_.windowList(options);
  if (!rows) return {};
  std::map<platform::Pid, bool> floats;  // decided once per process within this call
  std::vector<Info> candidates;
  candidates.reserve(rows->size());
  for (const auto& shared : *rows) {
    if (!shared || !shared->is_object()) continue;
    const Row& row = *shared;
    const RowFields fields = fieldsOf(row);
    auto layer = integerOf(fields.layer);
    auto pid = integerOf(fields.pid);
    if (!layer || !pid || *pid < std::numeric_limits<platform::Pid>::min() ||
        *pid > std::numeric_limits<platform::Pid>::max())
      continue;
    if (onlyOf && *pid != *onlyOf) continue;
    if (*layer == kFloatingLayer) {
      auto [it, inserted] = floats.try_emplace(static_cast<platform::Pid>(*pid), false);
      if (inserted) it->second = floatsCount(static_cast<platform::Pid>(*pid));
      if (!it->second) continue;
    } else if (*layer != kNormalLayer) {
      continue;
    }
    auto number = integerOf(fields.number);
    auto bounds = boundsOf(fields.bounds);
    if (!number || !bounds) continue;
    if (bounds->width < kMinWidth || bounds->height < kMinHeight) continue;
    Info info;
    info.windowNumber = *number;
    info.pid = static_cast<platform::Pid>(*pid);
    if (fields.name)
      if (const auto* title = fields.name->get_ptr<const Row::string_t*>()) info.title.emplace(*title);
    info.bounds = *bounds;
    const auto* onScreen = fields.onScreen ? fields.onScreen->get_ptr<const Row::boolean_t*>() : nullptr;
    info.isOnScreen = onScreen ? *onScreen : onScreenOnly;
    info.layer = static_cast<int>(*layer);
    candidates.push_back(std::move(info));
  }
  if (keptRows) *keptRows = std::make_shared<const platform::WindowRows>(std::move(*rows));
  return candidates;
}

std::optional<WindowList::Info> WindowList::frontWindow(platform::Pid pid) const {
  // Asked every second for the front application: only its own windows are read in full.
  const std::vector<Info> windows = withoutThinStrips(readCandidates(true, nullptr, pid));
  std::vector<const Info*> own;
  for (const Info& w : windows) own.push_back(&w);
  return frontOf(pid, own);
}

std::optional<WindowList::Info> WindowList::frontWindow(platform::Pid pid,
                                                        const ChordSnapshot& snapshot) const {
  return frontOf(pid, snapshot.onScreenWindowsOf(pid));
}

std::optional<WindowList::Info> WindowList::frontOf(platform::Pid pid,
                                                    const std::vector<const Info*>& own) const {
  if (own.empty()) return std::nullopt;
  const bool allFloating =
      std::all_of(own.begin(), own.end(), [](const Info* w) { return w->layer == kFloatingLayer; });
  if (own.front()->layer != kFloatingLayer || allFloating) return *own.front();
  // A floating panel is in front; the window the user works in is the focused one.
  if (auto focused = ax_.focusedWindowNumber(pid))
    for (const Info* w : own)
      if (w->windowNumber == *focused) return *w;
  return *own.front();
}

std::set<std::int64_t> WindowList::liveWindowNumbers() const {
  std::set<std::int64_t> numbers;
  for (const Info& w : realWindows(false)) numbers.insert(w.windowNumber);
  return numbers;
}

std::optional<std::set<std::uint64_t>> WindowList::currentSpaceIDs(int connection) const {
  auto displays = server_.managedDisplaySpaces(connection);
  if (!displays || !displays->is_array() || displays->empty()) return std::nullopt;
  std::set<std::uint64_t> ids;
  for (const Json& display : *displays) {
    if (!display.is_object()) return std::nullopt;
    auto current = display.find("Current Space");
    if (current == display.end() || !current->is_object()) return std::nullopt;
    auto id = current->find("ManagedSpaceID");
    if (id == current->end()) return std::nullopt;
    auto value = spaceID(*id);
    if (!value) return std::nullopt;
    ids.insert(*value);
  }
  return ids;
}

std::set<std::int64_t> WindowList::numbersOnHiddenSpaces(const std::vector<std::int64_t>& numbers) const {
  const int connection = server_.mainConnection();
  const auto current = currentSpaceIDs(connection);
  std::set<std::int64_t> hidden;
  for (std::int64_t number : numbers) {
    auto spaces = server_.spacesForWindows(connection, 7, {number});
    bool readable = spaces && spaces->is_array();
    std::vector<std::uint64_t> ids;
    if (readable)
      for (const Json& s : *spaces) {
        auto id = spaceID(s);
        if (!id) {
          readable = false;
          break;
        }
        ids.push_back(*id);
      }
    if (!readable) {
      hidden.insert(number);
      continue;
    }
    if (ids.empty()) continue;
    if (!current ||
        std::any_of(ids.begin(), ids.end(), [&](std::uint64_t id) { return !current->contains(id); }))
      hidden.insert(number);
  }
  return hidden;
}

}  // namespace velvix
