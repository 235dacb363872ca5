#pragma once
// The composed stills of the HUD's entries (shade, picture and rounded corners at the screen's
// pixels), kept in the pixmap cache so that a chord's first frame copies them. A window's still
// is taken again each time the window comes to the front, and the composition of the picture it
// replaced is never drawn again: left in the cache, it would stay until the cache's byte bound
// pushed it out, and a hundred chords would fill the cache with them. So an entry keeps one
// composition, each new one letting go of the one before, and once more than kForgetAbove
// entries are known, those whose composition the cache has dropped are forgotten. Main thread.

#include <cstddef>
#include <string>
#include <unordered_map>

#include <QPixmapCache>
#include <QString>

namespace velvix {

class ComposedStills {
 public:
  static constexpr std::size_t kForgetAbove = 256;

  // The composition kept for entry `id` under `name` (which names everything it depends on), or
  // a null pixmap.
  QPixmap find(const std::string& id, const QString& name) const;
  // Keeps `picture` in the pixmap cache as entry `id`'s composition, in place of the one before.
  void keep(const std::string& id, const QString& name, const QPixmap& picture);
  // How many entries are known here.
  std::size_t size() const { return kept_.size(); }

 private:
  struct Kept {
    QString name;
    QPixmapCache::Key key;
  };
  std::unordered_map<std::string, Kept> kept_;
};

}  // namespace velvix
