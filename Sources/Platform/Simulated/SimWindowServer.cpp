#include "Platform/Simulated/SimWindowServer.hpp"

#include <utility>

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using Json = nlohmann::json;
namespace Key = platform::WindowKey;

namespace {

// A row is built entry by entry into its reserved place: building rows from nested initializer
// lists copies every value twice over.
platform::WindowRow row(const SimWindow& w, const std::string* ownerName, bool onScreen) {
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
  if (ownerName) fields.emplace_back(Key::kOwnerName, *ownerName);
  if (w.title) fields.emplace_back(Key::kName, *w.title);
  // Like the real list, the on-screen flag is present only for windows that are on screen.
  if (onScreen) fields.emplace_back(Key::kIsOnscreen, true);
  return row;
}

}  // namespace

std::optional<platform::WindowRows> SimWindowServer::windowList(std::uint32_t options) const {
  const WindowServerFaults& faults = desktop_.windowServerFaults;
  if (faults.windowListFails) return std::nullopt;
  if (listed_ != desktop_.revision()) relist();
  const platform::WindowRows& listed = options & platform::kWindowListOnScreenOnly ? onScreen_ : all_;
  if (faults.extraRows.empty()) return listed;
  platform::WindowRows rows;
  rows.reserve(faults.extraRows.size() + listed.size());
  for (const auto& extra : faults.extraRows)
    rows.push_back(std::make_shared<const platform::WindowRow>(extra));
  rows.insert(rows.end(), listed.begin(), listed.end());
  return rows;
}

void SimWindowServer::relist() const {
  const SimDesktop& desktop = desktop_;
  const std::vector<std::int64_t>& order = desktop.stackingOrder();
  ++pass_;
  all_.clear();
  onScreen_.clear();
  all_.reserve(order.size());
  for (auto number : order) {
    const SimWindow& w = *desktop.window(number);
    const SimApp* owner = desktop.app(w.owner);
    Said said{w.owner,
              w.layer,
              w.alpha,
              w.bounds,
              w.title,
              owner ? owner->name : std::nullopt,
              desktop.isOnScreen(w)};
    const bool onScreen = said.onScreen;
    const auto& row = rowFor(w, std::move(said));
    all_.push_back(row);
    if (onScreen) onScreen_.push_back(row);
  }
  // Rows of windows that closed go.
  if (rows_.size() > order.size())
    std::erase_if(rows_, [this](const auto& kept) { return kept.second.seen != pass_; });
  listed_ = desktop.revision();
}

const std::shared_ptr<const platform::WindowRow>& SimWindowServer::rowFor(const SimWindow& w,
                                                                          Said said) const {
  Kept& kept = rows_[w.number];
  kept.seen = pass_;
  if (!kept.row || !(kept.said == said)) {
    kept.row = std::make_shared<const platform::WindowRow>(
        row(w, said.ownerName ? &*said.ownerName : nullptr, said.onScreen));
    kept.said = std::move(said);
  }
  return kept.row;
}

std::optional<Json> SimWindowServer::managedDisplaySpaces(int) const {
  if (desktop_.windowServerFaults.displaySpacesFail) return std::nullopt;
  Json displays = Json::array();
  for (const SimDisplay& d : std::as_const(desktop_).displays()) {
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
    if (const SimWindow* w = std::as_const(desktop_).window(number))
      for (auto space : w->spaces) result.push_back(space);
  }
  return result;
}

}  // namespace velvix::sim
