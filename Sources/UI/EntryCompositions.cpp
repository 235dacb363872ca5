#include "UI/EntryCompositions.hpp"

#include <QPixmap>

namespace velvix {

QPixmap EntryCompositions::find(const std::string& slot, const QString& name) const {
  QPixmap picture;
  if (auto kept = kept_.find(slot); kept != kept_.end() && kept->second.name == name)
    QPixmapCache::find(kept->second.key, &picture);
  return picture;
}

void EntryCompositions::keep(const std::string& slot, const QString& name, const QPixmap& picture) {
  Kept& kept = kept_[slot];
  if (kept.key.isValid()) QPixmapCache::remove(kept.key);
  kept = {name, QPixmapCache::insert(picture)};
  if (kept_.size() > kForgetAbove)
    std::erase_if(kept_, [](const auto& entry) { return !entry.second.key.isValid(); });
}

}  // namespace velvix
