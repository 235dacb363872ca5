#include "Platform/Simulated/SimWindowServer.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using Json = nlohmann::json;
namespace Key = platform::WindowKey;

std::optional<std::vector<platform::WindowRow>> SimWindowServer::windowList(std::uint32_t options) const {
  const WindowServerFaults& faults = desktop_.windowServerFaults;
  if (faults.windowListFails) return std::nullopt;
  const bool onScreenOnly = options & platform::kWindowListOnScreenOnly;
  std::vector<platform::WindowRow> rows = faults.extraRows;
  for (auto number : desktop_.stackingOrder()) {
    const SimWindow& w = *desktop_.window(number);
    const bool onScreen = desktop_.isOnScreen(w);
    if (onScreenOnly && !onScreen) continue;
    const SimApp* owner = desktop_.app(w.owner);
    platform::WindowRow row{
        {Key::kNumber, w.number},
        {Key::kOwnerPID, w.owner},
        {Key::kLayer, w.layer},
        {Key::kAlpha, w.alpha},
        {Key::kBounds, {{"X", w.bounds.x}, {"Y", w.bounds.y}, {"Width", w.bounds.width}, {"Height", w.bounds.height}}},
    };
    if (owner && owner->name) row[Key::kOwnerName] = *owner->name;
    if (w.title) row[Key::kName] = *w.title;
    // Like the real list, the on-screen flag is present only for windows that are on screen.
    if (onScreen) row[Key::kIsOnscreen] = true;
    rows.push_back(std::move(row));
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
