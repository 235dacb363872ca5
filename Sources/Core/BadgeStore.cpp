#include "Core/BadgeStore.hpp"

#include "Core/AppMonitor.hpp"
#include "Core/Preferences.hpp"
#include "Core/SwitchableItem.hpp"
#include "Platform/BundleReader.hpp"
#include "Platform/FileURL.hpp"
#include "Platform/Utf8.hpp"
#include "Platform/Workspace.hpp"
#include "Support/UnicodeNumeric.hpp"

namespace velvix {

using platform::AXElement;
using platform::AXError;
using platform::AXValue;
namespace Attr = platform::AXAttribute;

BadgeStore::BadgeStore(platform::Accessibility& accessibility, const platform::BundleReader& bundles,
                       const platform::Workspace& workspace, const AppMonitor& appMonitor,
                       const Preferences& preferences, platform::MainLoop& loop)
    : accessibility_(accessibility),
      bundles_(bundles),
      workspace_(workspace),
      appMonitor_(appMonitor),
      preferences_(preferences),
      loop_(loop) {}

void BadgeStore::start() {
  if (timer_.isValid()) return;
  // The timer dies with the store, so its ticks never reach a store that is gone.
  timer_ = loop_.every(kRefreshInterval, [this] { refresh(); });
  refresh();
}

void BadgeStore::refresh() {
  if (appMonitor_.userIdleSeconds() >= kIdleLimit) return;
  if (!preferences_.showThumbnails.get()) return;
  if (!accessibility_.isProcessTrusted()) return;
  auto docks = workspace_.runningApplications(kDockBundleID);
  if (docks.empty()) return;

  const AXElement dock = accessibility_.applicationElement(docks.front().pid);
  accessibility_.setMessagingTimeout(dock, kDockMessagingTimeout);
  std::map<std::string, std::string> found;
  for (AXElement section : children(dock))
    for (AXElement item : children(section)) {
      AXValue value;
      if (accessibility_.copyAttribute(item, Attr::kStatusLabel, value) != AXError::success) continue;
      const auto* label = std::get_if<std::string>(&value);
      if (!label || label->empty()) continue;
      // A later icon of the same application overwrites an earlier one.
      if (auto bundle = bundleID(item)) found[*bundle] = *label;
    }
  if (found == badges_) return;
  badges_ = std::move(found);
  changed_.notify();
}

std::vector<AXElement> BadgeStore::children(AXElement element) {
  AXValue value;
  if (accessibility_.copyAttribute(element, Attr::kChildren, value) != AXError::success) return {};
  if (auto* list = std::get_if<std::vector<AXElement>>(&value)) return std::move(*list);
  return {};
}

std::optional<std::string> BadgeStore::bundleID(AXElement item) {
  AXValue value;
  if (accessibility_.copyAttribute(item, Attr::kURL, value) != AXError::success) return std::nullopt;
  const auto* url = std::get_if<platform::AXURLValue>(&value);
  if (!url) return std::nullopt;
  auto path = platform::FileURL::path(url->absolute);
  if (!path) return std::nullopt;
  if (auto known = bundleIDByPath_.find(*path); known != bundleIDByPath_.end()) return known->second;
  auto bundle = bundles_.bundleIdentifier(*path);
  bundleIDByPath_.emplace(*path, bundle);
  return bundle;
}

std::optional<std::string> BadgeStore::badge(const SwitchableItem& item) const {
  if (item.kind == ItemKind::tab) return titleBadge(item.title);
  auto found = badges_.find(item.bundleID);
  if (found == badges_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> BadgeStore::titleBadge(std::string_view title) {
  if (title.empty()) return std::nullopt;
  char closing = 0;
  if (title.front() == '(') closing = ')';
  if (title.front() == '[') closing = ']';
  if (!closing) return std::nullopt;
  const auto end = title.find(closing, 1);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view inside = title.substr(1, end - 1);
  const std::u32string characters = utf8::decode(inside);
  if (characters.empty() || characters.size() > 3) return std::nullopt;
  if (!unicode::isNumeric(characters.front())) return std::nullopt;
  for (char32_t c : characters)
    if (c != U'+' && !unicode::isNumeric(c)) return std::nullopt;
  return std::string(inside);
}

}  // namespace velvix
