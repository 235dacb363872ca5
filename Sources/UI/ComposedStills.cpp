#include "UI/ComposedStills.hpp"

#include <QPixmap>

namespace velvix {

QPixmap ComposedStills::find(const std::string& id, const QString& name) const {
  QPixmap picture;
  if (auto kept = kept_.find(id); kept != kept_.end() && kept->second.name == name)
    QPixmapCache::find(kept->second.key, &picture);
  return picture;
}

void ComposedStills::keep(const std::string& id, const QString& name, const QPixmap& picture) {
  Kept& kept = kept_[id];
  if (kept.key.isValid()) QPixmapCache::remove(kept.key);
  kept = {name, QPixmapCache::insert(picture)};
  if (kept_.size() > kForgetAbove)
    std::erase_if(kept_, [](const auto& entry) { return !entry.second.key.isValid(); });
}

}  // namespace velvix
