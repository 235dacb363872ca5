#pragma once
// The badges the Dock shows on application icons (unread counts and the like), for the HUD's
// cells: every 2 s it reads the Dock's icons through Accessibility and keeps a map from bundle id
// to badge label. A tab has no Dock badge of its own; its badge is the count at the start of its
// title, such as "(3) Inbox". One long-lived instance; main thread only.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Accessibility.hpp"
#include "Platform/MainLoop.hpp"
#include "Support/Observers.hpp"

namespace velvix {

class AppMonitor;
class Preferences;
struct SwitchableItem;
namespace platform {
class BundleReader;
class Workspace;
}  // namespace platform

class BadgeStore {
 public:
  static constexpr double kRefreshInterval = 2.0;
  // No reading while the user has been away this long; the last badges stay.
  static constexpr double kIdleLimit = 120.0;
  static constexpr double kDockMessagingTimeout = 0.25;
  static constexpr const char* kDockBundleID = "com.apple.dock";

  // The Dock's icons are read through `accessibility` and their applications' bundles through
  // `bundles`, the Dock found in `workspace`; `appMonitor` says how long the user has been away, and
  // `preferences` whether the HUD shows badges at all.
  BadgeStore(platform::Accessibility& accessibility, const platform::BundleReader& bundles,
             const platform::Workspace& workspace, const AppMonitor& appMonitor,
             const Preferences& preferences, platform::MainLoop& loop);

  // Refreshes now and every 2 s from then on; a second call does nothing.
  void start();

  // Bundle id to badge label, as last read from the Dock.
  const std::map<std::string, std::string>& badges() const { return badges_; }
  // Told after `badges` changed, and only when it really did.
  [[nodiscard]] Subscription observe(std::function<void()> callback) {
    return changed_.add(std::move(callback));
  }

  // The badge to show on an entry: a tab's title count, or the Dock badge of the entry's
  // application.
  std::optional<std::string> badge(const SwitchableItem& item) const;
  // The 1 to 3 digits (or digits and plus signs, led by a digit) in parentheses or square brackets
  // at the very start of a title.
  static std::optional<std::string> titleBadge(std::string_view title);

 private:
  void refresh();
  std::vector<platform::AXElement> children(platform::AXElement element);
  std::optional<std::string> bundleID(platform::AXElement item);

  platform::Accessibility& accessibility_;
  const platform::BundleReader& bundles_;
  const platform::Workspace& workspace_;
  const AppMonitor& appMonitor_;
  const Preferences& preferences_;
  platform::MainLoop& loop_;
  std::map<std::string, std::string> badges_;
  platform::Timer timer_;
  // Bundle ids by application path, absences included, so each bundle is opened once.
  std::map<std::string, std::optional<std::string>> bundleIDByPath_;
  ObserverList<> changed_;
};

}  // namespace velvix
