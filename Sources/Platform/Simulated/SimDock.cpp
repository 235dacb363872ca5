#include "Platform/Simulated/SimDock.hpp"

#include <algorithm>
#include <utility>

#include "Platform/FileURL.hpp"
#include "Platform/Simulated/SimAccessibility.hpp"
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
// An item element's payload: the icon's id in the low bits, the sub-element level above them.
constexpr std::uint64_t kLevelShift = 40;
constexpr std::uint64_t kIDMask = (std::uint64_t{1} << kLevelShift) - 1;

std::uint64_t idOf(AXElement element) {
  return element.id & kIDMask;
}
int levelOf(AXElement element) {
  return static_cast<int>((element.id & kPayloadMask) >> kLevelShift);
}
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
  // Found through the bundle index: every question about an icon asks it, and a desktop may run
  // hundreds of applications.
  const auto running = desktop_.apps(kBundleID);
  if (running.empty()) return std::nullopt;
  return running.front()->pid;
}

int SimDock::section(SimDockItem::Kind kind) {
  // The separator opens the second part whenever it is added: a window minimised before it
  // still lies to its right, beside the folders and the other minimised windows.
  switch (kind) {
    case SimDockItem::Kind::application:
      return 0;
    case SimDockItem::Kind::separator:
      return 1;
    case SimDockItem::Kind::trash:
      return 3;
    default:
      return 2;
  }
}

std::uint64_t SimDock::add(SimDockItem item) {
  desktop_.noteChanged();
  item.id = nextID_++;
  const int rank = section(item.kind);
  auto at = std::find_if(items_.begin(), items_.end(),
                         [rank](const SimDockItem& i) { return section(i.kind) > rank; });
  return items_.insert(at, std::move(item))->id;
}

std::uint64_t SimDock::addApplication(platform::Pid pid, std::optional<std::string> badge) {
  SimDockItem item;
  if (const SimApp* app = std::as_const(desktop_).app(pid)) {
    item.title = app->name.value_or("");
    if (app->bundlePath) item.url = platform::FileURL::fromPath(*app->bundlePath, true);
  }
  item.statusLabel = std::move(badge);
  return add(std::move(item));
}

void SimDock::noteTerminated(const std::string& bundleURL) {
  for (SimDockItem& item : items_)
    if (item.kind == SimDockItem::Kind::application && item.url == bundleURL) item.statusLabel.reset();
}

void SimDock::noteMinimized(std::int64_t window, bool minimized) {
  std::erase_if(items_, [window](const SimDockItem& item) { return item.window == window; });
  if (!minimized || !pid()) return;
  const SimWindow* w = std::as_const(desktop_).window(window);
  if (!w) return;
  SimDockItem item;
  item.kind = SimDockItem::Kind::minimizedWindow;
  item.title = w->title.value_or("");
  item.window = window;
  add(std::move(item));
}

const SimDockItem* SimDock::itemAt(Point point) const {
  if (!pid()) return nullptr;
  for (const auto& item : items_)
    if (auto f = frame(item.id); f && f->contains(point)) return &item;
  return nullptr;
}

void SimDock::remove(std::uint64_t id) {
  desktop_.noteChanged();
  std::erase_if(items_, [id](const SimDockItem& item) { return item.id == id; });
}

void SimDock::setBadge(std::uint64_t id, std::optional<std::string> label) {
  if (SimDockItem* found = item(id)) found->statusLabel = std::move(label);
}

SimDockItem* SimDock::item(std::uint64_t id) {
  desktop_.noteChanged();  // the caller may change the icon
  return const_cast<SimDockItem*>(find(id));
}

const SimDockItem* SimDock::find(std::uint64_t id) const {
  auto it =
      std::find_if(items_.begin(), items_.end(), [id](const SimDockItem& item) { return item.id == id; });
  return it == items_.end() ? nullptr : &*it;
}

const SimDisplay* SimDock::dockDisplay() const {
  const auto& displays = std::as_const(desktop_).displays();
  if (displays.empty()) return nullptr;
  return display < displays.size() ? &displays[display] : &displays.front();
}

std::optional<Rect> SimDock::strip() const {
  const SimDisplay* d = dockDisplay();
  if (!d) return std::nullopt;
  return Rect{d->frame.x, d->frame.maxY() - SimScreens::kDockHeight, d->frame.width, SimScreens::kDockHeight};
}

std::optional<Rect> SimDock::frame(std::uint64_t id) const {
  auto band = strip();
  if (!band || !find(id)) return std::nullopt;
  auto widthOf = [](const SimDockItem& item) {
    return item.kind == SimDockItem::Kind::separator ? kSeparatorWidth : kTileSize;
  };
  double total = 0, before = 0;
  for (const SimDockItem& item : items_) {
    if (item.id == id) before = total;
    total += widthOf(item) + kTileSpacing;
  }
  total -= kTileSpacing;
  const SimDockItem& item = *find(id);
  const double top = band->y + (band->height - kTileSize) / 2;
  return Rect{band->midX() - total / 2 + before, top, widthOf(item), kTileSize};
}

AXError SimDock::elementAt(Point point, AXElement& element) const {
  element = {};
  if (hitTestFails) return AXError::failure;
  for (const SimDockItem& item : items_)
    if (auto f = frame(item.id); f && f->contains(point)) {
      element = itemElement(item.id, item.nesting);
      return AXError::success;
    }
  if (auto band = strip(); band && band->contains(point)) {
    element = listElement();
    return AXError::success;
  }
  return AXError::noValue;
}

bool SimDock::isDockElement(AXElement element) {
  const std::uint64_t tag = element.id >> kKindShift;
  return tag == kListTag || tag == kItemTag;
}

AXElement SimDock::listElement() {
  return AXElement{kListTag << kKindShift};
}

AXElement SimDock::itemElement(std::uint64_t id, int level) {
  return AXElement{(kItemTag << kKindShift) | (static_cast<std::uint64_t>(level) << kLevelShift) |
                   (id & kIDMask)};
}

bool SimDock::exists(AXElement element) const {
  if (element == listElement()) return true;
  if ((element.id >> kKindShift) != kItemTag) return false;
  const SimDockItem* item = find(idOf(element));
  return item && levelOf(element) <= item->nesting;
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
    if (attribute == Attr::kParent) {
      auto running = pid();
      if (!running) return AXError::noValue;
      value = desktop_.accessibility().applicationElement(*running);
      return AXError::success;
    }
    if (attribute != Attr::kChildren) return AXError::attributeUnsupported;
    std::vector<AXElement> children;
    for (const SimDockItem& item : items_) children.push_back(itemElement(item.id));
    value = std::move(children);
    return AXError::success;
  }
  const SimDockItem* item = find(idOf(element));
  if (!item || levelOf(element) > item->nesting) return AXError::invalidElement;
  if (item->failingAttributes.contains(attribute)) return AXError::failure;
  if (auto answer = copyItemAttribute(*item, levelOf(element), attribute, value)) return *answer;
  return AXError::attributeUnsupported;
}

std::optional<AXError> SimDock::copyItemAttribute(const SimDockItem& item, int level,
                                                  const std::string& attribute, AXValue& value) const {
  if (attribute == Attr::kChildren) {
    value = level < item.nesting ? std::vector<AXElement>{itemElement(item.id, level + 1)}
                                 : std::vector<AXElement>{};
    return AXError::success;
  }
  if (attribute == Attr::kParent) {
    value = level == 0 ? listElement() : itemElement(item.id, level - 1);
    return AXError::success;
  }
  if (level > 0) {
    // A plain group inside the icon, as large as the icon; nothing else to tell.
    if (attribute == Attr::kRole) {
      value = std::string("AXGroup");
    } else if (attribute == Attr::kPosition || attribute == Attr::kSize) {
      auto tile = frame(item.id);
      if (!tile) return AXError::noValue;
      value = attribute == Attr::kPosition ? AXValue(tile->origin()) : AXValue(tile->size());
    } else {
      return std::nullopt;
    }
    return AXError::success;
  }
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
  } else {
    return std::nullopt;
  }
  return AXError::success;
}

}  // namespace velvix::sim
