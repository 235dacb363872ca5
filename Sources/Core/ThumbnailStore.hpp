#pragma once
// The cache of window thumbnails, keyed by item id. Every removal of an entry from the inventory
// also drops its picture here, so no stale picture is ever shown for a re-used id.

#include <map>
#include <memory>
#include <string>

namespace velvix {

class RGBAImage;

class ThumbnailStore {
 public:
  using Image = std::shared_ptr<const RGBAImage>;

  const std::map<std::string, Image>& images() const { return images_; }
  bool contains(const std::string& id) const { return images_.contains(id); }
  void remove(const std::string& id) { images_.erase(id); }
  // Moves the picture kept under `from` to `to` (an entry whose id changed).
  void rekey(const std::string& from, const std::string& to);
  void store(const std::string& id, Image image) { images_[id] = std::move(image); }

 private:
  std::map<std::string, Image> images_;
};

}  // namespace velvix
