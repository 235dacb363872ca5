#include "Support/WindowList.hpp"

#include <limits>
#include <map>

#include "Bridge/AXWindowBridge.hpp"
#include "Core/Browser.hpp"
#include "Platform/WindowServer.hpp"

namespace velvix {

using Json = nlohmann::json;
namespace Key = platform::WindowKey;

namespace {

std::optional<std::int64_t> integerField(const Json& row, const char* key) {
  auto it = row.find(key);
  if (it == row.end() || !it->is_number_integer()) return std::nullopt;
  return it->get<std::int64_t>();
}

// Space identifiers are unsigned 64-bit numbers; a non-negative integer of any JSON kind reads.
std::optional<std::uint64_t> spaceID(const Json& value) {
  if (value.is_number_unsigned()) return value.get<std::uint64_t>();
  if (value.is_number_integer() && value.get<std::int64_t>() >= 0) return value.get<std::uint64_t>();
  return std::nullopt;
}

std::optional<Rect> boundsField(const Json& row) {
  auto it = row.find(Key::kBounds);
  if (it == row.end() || !it->is_object()) return std::nullopt;
  Rect r;
  double* fields[] = {&r.x, &r.y, &r.width, &r.height};
  const char* names[] = {"X", "Y", "Width", "Height"};
  for (int i = 0; i < 4; ++i) {
    auto f = it->find(names[i]);
    if (f == it->end() || !f->is_number()) return std::nullopt;
    *fields[i] = f->get<double>();
  }
  return r;
}

// A short strip lying along the top edge of a taller window of the same process, such as a
// detached toolbar or a title-bar accessory, is part of that window, not a window of its own.
bool isThinStripAbove(const WindowList::Info& w, const WindowList::Info& o) {
  return w.pid == o.pid && w.windowNumber != o.windowNumber && std::abs(w.bounds.minX() - o.bounds.minX()) < 1.0 &&
         std::abs(w.bounds.width - o.bounds.width) < 1.0 && w.bounds.height * 3.0 < o.bounds.height &&
         w.bounds.minY() <= o.bounds.minY() && o.bounds.minY() - 1.0 <= w.bounds.maxY();
}

}  // namespace

bool WindowList::floatsCount(platform::Pid pid) const {
  auto app = workspace_.application(pid);
  if (!app || app->activationPolicy != platform::ActivationPolicy::Regular) return false;
  return !app->bundleIdentifier || !browsers::fromBundleID(*app->bundleIdentifier);
}

std::vector<WindowList::Info> WindowList::realWindows(bool onScreenOnly) const {
  const std::uint32_t options = platform::kWindowListExcludeDesktopElements |
                                (onScreenOnly ? platform::kWindowListOnScreenOnly : 0);
  auto rows = server_.windowList(options);
  if (!rows) return {};
  std::map<platform::Pid, bool> floats;  // decided once per process within this call
  std::vector<Info> candidates;
  for (const Json& row : *rows) {
    if (!row.is_object()) continue;
    auto layer = integerField(row, Key::kLayer);
    auto pid = integerField(row, Key::kOwnerPID);
    if (!layer || !pid || *pid < std::numeric_limits<platform::Pid>::min() ||
        *pid > std::numeric_limits<platform::Pid>::max())
      continue;
    if (*layer == kFloatingLayer) {
      auto [it, inserted] = floats.try_emplace(static_cast<platform::Pid>(*pid), false);
      if (inserted) it->second = floatsCount(static_cast<platform::Pid>(*pid));
      if (!it->second) continue;
    } else if (*layer != kNormalLayer) {
      continue;
    }
    auto number = integerField(row, Key::kNumber);
    auto bounds = boundsField(row);
    if (!number || !bounds) continue;
    if (bounds->width < kMinWidth || bounds->height < kMinHeight) continue;
    Info info;
    info.windowNumber = *number;
    info.pid = static_cast<platform::Pid>(*pid);
    if (auto name = row.find(Key::kName); name != row.end() && name->is_string()) info.title = name->get<std::string>();
    info.bounds = *bounds;
    auto onScreen = row.find(Key::kIsOnscreen);
    info.isOnScreen = (onScreen != row.end() && onScreen->is_boolean()) ? onScreen->get<bool>() : onScreenOnly;
    info.layer = static_cast<int>(*layer);
    candidates.push_back(std::move(info));
  }
  std::vector<Info> kept;
  for (const Info& w : candidates) {
    bool strip = false;
    for (const Info& o : candidates)
      if (isThinStripAbove(w, o)) {
        strip = true;
        break;
      }
    if (!strip) kept.push_back(w);
  }
  return kept;
}

std::optional<WindowList::Info> WindowList::frontWindow(platform::Pid pid) const {
  std::vector<Info> own;
  for (auto& w : realWindows(true))
    if (w.pid == pid) own.push_back(std::move(w));
  if (own.empty()) return std::nullopt;
  const bool allFloating =
      std::all_of(own.begin(), own.end(), [](const Info& w) { return w.layer == kFloatingLayer; });
  if (own.front().layer != kFloatingLayer || allFloating) return own.front();
  // A floating panel is in front; the window the user works in is the focused one.
  if (auto focused = ax_.focusedWindowNumber(pid))
    for (const Info& w : own)
      if (w.windowNumber == *focused) return w;
  return own.front();
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
    if (!current || std::any_of(ids.begin(), ids.end(), [&](std::uint64_t id) { return !current->contains(id); }))
      hidden.insert(number);
  }
  return hidden;
}

}  // namespace velvix
