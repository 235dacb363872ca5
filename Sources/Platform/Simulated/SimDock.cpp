#include "Platform/Simulated/SimDock.hpp"

#include <algorithm>

#include "Platform/FileURL.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimScreens.hpp"

namespace velvix::sim {

using platform::AXElement;
using platform::AXError;
using platform::AXValue;
namespace Attr = platform::AXAttribute;

namespace {
// Element tags of the Dock's own elements, beside the application, window and close-button
// elements of SimAccessibility (tags 1 to 3).
constexpr std::uint64_t kKindShift = 56;
constexpr std::uint64_t kListTag = 4, kItemTag = 5;
constexpr std::uint64_t kPayloadMask = (std::uint64_t{1} << kKindShift) - 1;
}  // namespace

platform::Pid SimDock::start() {
  if (auto running = pid()) return *running;
  return desktop_.launch(
      {.bundleID = kBundleID, .name = "Dock", .activationPolicy = platform::ActivationPolicy::Accessory});
}

void SimDock::quit() {
  if (auto running = pid()) desktop_.terminate(*running);
}

std::optional<platform::Pid> SimDock::pid() const {
  for (const SimApp* app : desktop_.apps())
    if (app->bundleID == kBundleID) return app->pid;
  return std::nullopt;
}

std::uint64_t SimDock::add(SimDockItem item) {
  item.id = nextID_++;
  items_.push_back(std::move(item));
  return items_.back().id;
}

std::uint64_t SimDock::addApplication(platform::Pid pid, std::optional<std::string> badge) {
  SimDockItem item;
  if (const SimApp* app = desktop_.app(pid)) {
    item.title = app->name.value_or("");
    if (app->bundlePath) item.url = platform::FileURL::fromPath(*app->bundlePath, true);
  }
  item.statusLabel = std::move(badge);
  return add(std::move(item));
}

void SimDock::noteMinimized(std::int64_t window, bool minimized) {
  std::erase_if(items_, [window](const SimDockItem& item) { return item.window == window; });
  if (!minimized || !pid()) return;
  const SimWindow* w = desktop_.window(window);
  if (!w) return;
  SimDockItem item;
  item.kind = SimDockItem::Kind::minimizedWindow;
  item.title = w->title.value_or("");
  item.window = window;
  add(std::move(item));
}

const SimDockItem* SimDock::itemAt(Point point) const {
  for (const auto& item : items_)
    if (auto f = frame(item.id); f && f->contains(point)) return &item;
  return nullptr;
}

void SimDock::remove(std::uint64_t id) {
  std::erase_if(items_, [id](const SimDockItem& item) { return item.id == id; });
}

void SimDock::setBadge(std::uint64_t id, std::optional<std::string> label) {
  if (SimDockItem* found = item(id)) found->statusLabel = std::move(label);
}

SimDockItem* SimDock::item(std::uint64_t id) {
  return const_cast<SimDockItem*>(find(id));
}

const SimDockItem* SimDock::find(std::uint64_t id) const {
  auto it =
      std::find_if(items_.begin(), items_.end(), [id](const SimDockItem& item) { return item.id == id; });
  return it == items_.end() ? nullptr : &*it;
}

std::optional<Rect> SimDock::frame(std::uint64_t id) const {
  auto it =
      std::find_if(items_.begin(), items_.end(), [id](const SimDockItem& item) { return item.id == id; });
  if (it == items_.end() || desktop_.displays().empty()) return std::nullopt;
  const Rect screen = desktop_.displays().front().frame;
  const double count = static_cast<double>(items_.size());
  const double width = count * kTileSize + (count - 1) * kTileSpacing;
  const double index = static_cast<double>(it - items_.begin());
  const double top = screen.maxY() - SimScreens::kDockHeight + (SimScreens::kDockHeight - kTileSize) / 2;
  return Rect{screen.midX() - width / 2 + index * (kTileSize + kTileSpacing), top, kTileSize, kTileSize};
}

bool SimDock::isDockElement(AXElement element) {
  const std::uint64_t tag = element.id >> kKindShift;
  return tag == kListTag || tag == kItemTag;
}

AXElement SimDock::listElement() {
  return AXElement{kListTag << kKindShift};
}

AXElement SimDock::itemElement(std::uint64_t id) {
  return AXElement{(kItemTag << kKindShift) | (id & kPayloadMask)};
}

bool SimDock::exists(AXElement element) const {
  if (element == listElement()) return true;
  return (element.id >> kKindShift) == kItemTag && find(element.id & kPayloadMask) != nullptr;
}

std::string SimDock::subrole(SimDockItem::Kind kind) {
  switch (kind) {
    case SimDockItem::Kind::application:
      return "AXApplicationDockItem";
    case SimDockItem::Kind::folder:
      return "AXFolderDockItem";
    case SimDockItem::Kind::trash:
      return "AXTrashDockItem";
    case SimDockItem::Kind::separator:
      return "AXSeparatorDockItem";
    case SimDockItem::Kind::minimizedWindow:
      return "AXMinimizedWindowDockItem";
  }
  return {};
}

AXError SimDock::copyAttribute(AXElement element, const std::string& attribute, AXValue& value) const {
  if (!isDockElement(element)) {
    // The Dock application itself: its one child is the list of icons.
    if (attribute != Attr::kChildren) return AXError::attributeUnsupported;
    value = std::vector<AXElement>{listElement()};
    return AXError::success;
  }
  if (element == listElement()) {
    if (attribute == Attr::kRole) {
      value = std::string("AXList");
      return AXError::success;
    }
    if (attribute != Attr::kChildren) return AXError::attributeUnsupported;
    std::vector<AXElement> children;
    for (const SimDockItem& item : items_) children.push_back(itemElement(item.id));
    value = std::move(children);
    return AXError::success;
  }
  const SimDockItem* item = find(element.id & kPayloadMask);
  if (!item) return AXError::invalidElement;
  if (auto answer = copyItemAttribute(*item, attribute, value)) return *answer;
  return AXError::attributeUnsupported;
}

std::optional<AXError> SimDock::copyItemAttribute(const SimDockItem& item, const std::string& attribute,
                                                  AXValue& value) const {
  if (attribute == Attr::kRole) {
    value = std::string("AXDockItem");
  } else if (attribute == Attr::kSubrole) {
    value = subrole(item.kind);
  } else if (attribute == Attr::kTitle) {
    value = item.title;
  } else if (attribute == Attr::kURL) {
    if (!item.url) return AXError::noValue;
    value = platform::AXURLValue{*item.url};
  } else if (attribute == Attr::kStatusLabel) {
    if (!item.statusLabel) return AXError::noValue;
    value = *item.statusLabel;
  } else if (attribute == Attr::kPosition || attribute == Attr::kSize) {
    auto tile = frame(item.id);
    if (!tile) return AXError::noValue;
    if (attribute == Attr::kPosition) {
      value = tile->origin();
    } else {
      value = tile->size();
    }
  } else if (attribute == Attr::kParent) {
    value = listElement();
  } else if (attribute == Attr::kChildren) {
    value = std::vector<AXElement>{};
  } else {
    return std::nullopt;
  }
  return AXError::success;
}

}  // namespace velvix::sim
