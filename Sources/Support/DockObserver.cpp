#include "Support/DockObserver.hpp"

#include "Platform/BundleReader.hpp"
#include "Platform/FileURL.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Screens.hpp"
#include "Platform/Workspace.hpp"

namespace velvix {

using platform::AXElement;
using platform::AXError;
using platform::AXValue;
namespace Attr = platform::AXAttribute;

namespace {
constexpr std::string_view kApplicationDockItem = "AXApplicationDockItem";
constexpr std::string_view kDockItemSuffix = "DockItem";
}  // namespace

std::optional<AXElement> DockObserver::dockApp(double messagingTimeout) const {
  const auto docks = workspace_.runningApplications(kDockBundleID);
  if (docks.empty()) return std::nullopt;
  // A fresh element every time: the Dock may have been restarted with another process id.
  const AXElement app = accessibility_.applicationElement(docks.front().pid);
  accessibility_.setMessagingTimeout(app, messagingTimeout);
  return app;
}

std::optional<AXElement> DockObserver::firstList(AXElement element) const {
  AXValue value;
  if (accessibility_.copyAttribute(element, Attr::kChildren, value) != AXError::success) return std::nullopt;
  const auto* children = std::get_if<std::vector<AXElement>>(&value);
  if (!children || children->empty()) return std::nullopt;
  for (AXElement child : *children)
    if (string(child, Attr::kRole) == "AXList") return child;
  return children->front();
}

std::optional<Rect> DockObserver::frame(AXElement element) const {
  AXValue position, size;
  if (accessibility_.copyAttribute(element, Attr::kPosition, position) != AXError::success)
    return std::nullopt;
  if (accessibility_.copyAttribute(element, Attr::kSize, size) != AXError::success) return std::nullopt;
  const auto* origin = std::get_if<Point>(&position);
  const auto* extent = std::get_if<Size>(&size);
  if (!origin || !extent || screens_.screens().empty()) return std::nullopt;
  return Rect{origin->x, origin->y, extent->width, extent->height};
}

std::optional<std::string> DockObserver::bundleID(AXElement element) const {
  AXValue value;
  if (accessibility_.copyAttribute(element, Attr::kURL, value) != AXError::success) return std::nullopt;
  const auto* url = std::get_if<platform::AXURLValue>(&value);
  if (!url) return std::nullopt;
  const auto path = platform::FileURL::path(url->absolute);
  if (!path) return std::nullopt;
  return bundles_.bundleIdentifier(*path);
}

std::optional<std::string> DockObserver::string(AXElement element, const char* attribute) const {
  AXValue value;
  if (accessibility_.copyAttribute(element, attribute, value) != AXError::success) return std::nullopt;
  const auto* text = std::get_if<std::string>(&value);
  if (!text || text->empty()) return std::nullopt;
  return *text;
}

std::optional<DockObserver::Item> DockObserver::applicationItem(AXElement element,
                                                                std::optional<double> deadline) const {
  const auto late = [&] { return deadline && loop_.uptime() >= *deadline; };
  auto where = frame(element);
  if (!where || late()) return std::nullopt;
  auto id = bundleID(element);
  if (late()) return std::nullopt;
  return Item{std::move(id), string(element, Attr::kTitle).value_or(""), *where};
}

std::vector<DockObserver::Item> DockObserver::applicationItems() const {
  const auto app = dockApp(kListMessagingTimeout);
  if (!app) return {};
  const auto list = firstList(*app);
  if (!list) return {};
  const double deadline = loop_.uptime() + kListBudget;
  AXValue value;
  if (accessibility_.copyAttribute(*list, Attr::kChildren, value) != AXError::success) return {};
  const auto* children = std::get_if<std::vector<AXElement>>(&value);
  if (!children) return {};
  std::vector<Item> items;
  for (AXElement child : *children) {
    // Past the budget the rest is left unread: a slow Dock costs a bounded stall, not a hang.
    if (loop_.uptime() >= deadline) break;
    if (string(child, Attr::kSubrole) != kApplicationDockItem) continue;
    if (auto item = applicationItem(child)) items.push_back(std::move(*item));
  }
  return items;
}

DockObserver::Hit DockObserver::item(Point at) const {
  if (screens_.screens().empty()) return Hit::unknown();
  const double deadline = loop_.uptime() + kHitBudget;
  const auto app = dockApp(kHitMessagingTimeout);
  if (!app) return Hit::unknown();
  const auto late = [&] { return loop_.uptime() >= deadline; };
  AXElement current;
  if (accessibility_.elementAtPosition(*app, static_cast<float>(at.x), static_cast<float>(at.y), current) !=
          AXError::success ||
      !current)
    return Hit::unknown();
  if (late()) return Hit::unknown();
  // The point may be on a part of an icon (its badge, a label): walk up to the icon itself.
  for (int examined = 1;; ++examined) {
    const auto subrole = string(current, Attr::kSubrole);
    if (late()) return Hit::unknown();
    if (subrole == kApplicationDockItem) {
      auto icon = applicationItem(current, deadline);
      return icon && !late() ? Hit::app(std::move(*icon)) : Hit::unknown();
    }
    if (subrole && subrole->ends_with(kDockItemSuffix)) return Hit::other();
    if (examined == kHitWalkLimit) return Hit::other();
    AXValue parent;
    if (accessibility_.copyAttribute(current, Attr::kParent, parent) != AXError::success)
      return late() ? Hit::unknown() : Hit::other();
    const auto* element = std::get_if<AXElement>(&parent);
    if (!element || !*element) return Hit::other();
    current = *element;
  }
}

}  // namespace velvix
