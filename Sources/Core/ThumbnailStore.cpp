#include "Core/ThumbnailStore.hpp"

namespace velvix {

void ThumbnailStore::rekey(const std::string& from, const std::string& to) {
  auto it = images_.find(from);
  if (it == images_.end() || from == to) return;
  Image image = std::move(it->second);
  images_.erase(it);
  images_[to] = std::move(image);
}

}  // namespace velvix
