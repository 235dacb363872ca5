#pragma once
// Application icons as the HUD paints them: what the icon provider gives, or else a plain
// generated icon (a rounded square in a colour of the bundle id's own, with the first letter of
// the application's name), made once per bundle id. What the provider gave is kept until
// forgetProvided(), so a frame does not fetch every icon again and the pictures keep their
// identity for the scaled-picture cache; an icon the provider gives again with the same pixels
// keeps its identity past forgetProvided() too.

#include <map>
#include <optional>
#include <string>
#include <utility>

#include <QImage>

#include "UI/AppIconProvider.hpp"

namespace velvix {

class AppIconImages {
 public:
  static constexpr int kFallbackPixels = 128;

  void setProvider(AppIconProvider provider) {
    provider_ = std::move(provider);
    forgetProvided();
  }
  QImage icon(const std::string& bundleID, std::optional<platform::Pid> pid);
  // The next icon() asks the provider again (the HUD shows a new list).
  void forgetProvided() { previous_ = std::exchange(provided_, {}); }
  // The generated icon of a bundle id.
  static QImage fallback(const std::string& bundleID);

 private:
  AppIconProvider provider_;
  using Key = std::pair<std::string, std::optional<platform::Pid>>;
  std::map<Key, QImage> provided_;
  std::map<Key, QImage> previous_;  // what the provider gave for the list before
  std::map<std::string, QImage> fallbacks_;
};

}  // namespace velvix
