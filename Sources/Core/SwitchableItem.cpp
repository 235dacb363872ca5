#include "Core/SwitchableItem.hpp"

namespace velvix {

std::optional<SwitchableItem> SwitchableItem::appItem(const platform::RunningApplication& app, double now) {
  if (!app.bundleIdentifier || app.bundleIdentifier->empty()) return std::nullopt;
  SwitchableItem item;
  item.id = appID(*app.bundleIdentifier);
  item.kind = ItemKind::app;
  item.bundleID = *app.bundleIdentifier;
  item.title = app.localizedName.value_or(*app.bundleIdentifier);
  item.lastActivatedAt = now;
  item.pid = app.pid;
  return item;
}

}  // namespace velvix
