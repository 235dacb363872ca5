#include "Platform/Simulated/SimWindowServer.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using Json = nlohmann::json;
namespace Key = platform::WindowKey;

namespace {

// A row is built entry by entry into its reserved place: the list is asked for as every chord
// opens, and building rows from nested initializer lists copies every value twice over.
platform::WindowRow row(const SimWindow& w, const SimApp* owner, bool onScreen) {
  platform::WindowRow bounds(platform::WindowRow::value_t::object);
  auto& frame = bounds.get_ref<platform::WindowRow::object_t&>();
  frame.reserve(4);
  frame.emplace_back("X", w.bounds.x);
  frame.emplace_back("Y", w.bounds.y);
  frame.emplace_back("Width", w.bounds.width);
  frame.emplace_back("Height", w.bounds.height);

  platform::WindowRow row(platform::WindowRow::value_t::object);
  auto& fields = row.get_ref<platform::WindowRow::object_t&>();
  fields.reserve(8);
  fields.emplace_back(Key::kNumber, w.number);
  fields.emplace_back(Key::kOwnerPID, w.owner);
  fields.emplace_back(Key::kLayer, w.layer);
  fields.emplace_back(Key::kAlpha, w.alpha);
  fields.emplace_back(Key::kBounds, std::move(bounds));
  if (owner && owner->name) fields.emplace_back(Key::kOwnerName, *owner->name);
  if (w.title) fields.emplace_back(Key::kName, *w.title);
  // Like the real list, the on-screen flag is present only for windows that are on screen.
  if (onScreen) fields.emplace_back(Key::kIsOnscreen, true);
  return row;
}

}  // namespace

std::optional<std::vector<platform::WindowRow>> SimWindowServer::windowList(std::uint32_t options) const {
  const WindowServerFaults& faults = desktop_.windowServerFaults;
  if (faults.windowListFails) return std::nullopt;
  const bool onScreenOnly = options & platform::kWindowListOnScreenOnly;
  std::vector<platform::WindowRow> rows = faults.extraRows;
  const std::vector<std::int64_t>& order = desktop_.stackingOrder();
  rows.reserve(rows.size() + order.size());
  for (auto number : order) {
    const SimWindow& w = *desktop_.window(number);
    const bool onScreen = desktop_.isOnScreen(w);
    if (onScreenOnly && !onScreen) continue;
    const SimApp* owner = desktop_.app(w.owner);
    rows.push_back(row(w, owner, onScreen));
  }
  return rows;
}

std::optional<Json> SimWindowServer::managedDisplaySpaces(int) const {
  if (desktop_.windowServerFaults.displaySpacesFail) return std::nullopt;
  Json displays = Json::array();
  for (const SimDisplay& d : desktop_.displays()) {
    Json spaces = Json::array();
    for (auto id : d.spaces) spaces.push_back({{"ManagedSpaceID", id}});
    displays.push_back({{"Display Identifier", std::to_string(d.id)},
                        {"Current Space", {{"ManagedSpaceID", d.currentSpace}}},
                        {"Spaces", spaces}});
  }
  return displays;
}

std::optional<Json> SimWindowServer::spacesForWindows(int, std::uint32_t,
                                                      const std::vector<std::int64_t>& numbers) const {
  Json result = Json::array();
  for (auto number : numbers) {
    if (desktop_.windowServerFaults.windowSpacesFail.contains(number)) return std::nullopt;
    if (const SimWindow* w = desktop_.window(number))
      for (auto space : w->spaces) result.push_back(space);
  }
  return result;
}

}  // namespace velvix::sim
