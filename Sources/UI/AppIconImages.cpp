#include "UI/AppIconImages.hpp"

#include "Platform/Qt/LetteredIcon.hpp"
#include "Platform/Qt/QtImageConversion.hpp"

namespace velvix {

namespace {

// The application's name as the bundle id suggests it: its last component.
QString letterOf(const std::string& bundleID) {
  const auto dot = bundleID.rfind('.');
  const QString last = QString::fromStdString(dot == std::string::npos ? bundleID : bundleID.substr(dot + 1));
  return last.isEmpty() ? QStringLiteral("?") : last.left(1).toUpper();
}

}  // namespace

QImage AppIconImages::icon(const std::string& bundleID, std::optional<platform::Pid> pid) {
  if (provider_) {
    const auto key = std::make_pair(bundleID, pid);
    if (auto kept = provided_.find(key); kept != provided_.end()) return kept->second;
    if (auto image = provider_(bundleID, pid); image && !image->isNull()) {
      QImage given = qt::toQImage(*image);
      if (auto before = previous_.find(key); before != previous_.end() && before->second == given)
        given = before->second;
      return provided_.emplace(key, given).first->second;
    }
  }
  auto found = fallbacks_.find(bundleID);
  if (found == fallbacks_.end()) found = fallbacks_.emplace(bundleID, fallback(bundleID)).first;
  return found->second;
}

QImage AppIconImages::fallback(const std::string& bundleID) {
  const auto hue = static_cast<int>(std::hash<std::string>{}(bundleID) % 360);
  return qt::LetteredIcon::draw(letterOf(bundleID), hue, kFallbackPixels);
}

}  // namespace velvix
