#pragma once
// What the HUD composes for each of its entries once and copies on every frame, at the screen's
// pixels (a still with its shade and rounded corners, a header with its icon and title), kept in
// the pixmap cache so that a chord's first frame copies them too. A window's still is taken
// again each time the window comes to the front, and a title changes as its window does: the
// composition of the picture or title before is never drawn again, and left in the cache it
// would stay until the cache's byte bound pushed it out (a hundred chords filled the cache).
// So each slot (an entry's still, its header) keeps one composition, a new one letting go of the
// one before, and once more than kForgetAbove slots are known, those whose composition the cache
// has dropped are forgotten. Main thread.

#include <cstddef>
#include <string>
#include <unordered_map>

#include <QPixmapCache>
#include <QString>

namespace velvix {

class EntryCompositions {
 public:
  static constexpr std::size_t kForgetAbove = 256;

  // The composition kept in `slot` under `name` (which names everything it depends on), or a
  // null pixmap.
  QPixmap find(const std::string& slot, const QString& name) const;
  // Keeps `picture` in the pixmap cache as the slot's composition, in place of the one before.
  void keep(const std::string& slot, const QString& name, const QPixmap& picture);
  // How many slots are known here.
  std::size_t size() const { return kept_.size(); }

 private:
  struct Kept {
    QString name;
    QPixmapCache::Key key;
  };
  std::unordered_map<std::string, Kept> kept_;
};

}  // namespace velvix
