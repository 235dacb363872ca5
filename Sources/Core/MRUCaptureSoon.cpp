#include "Core/MRUManager.hpp"

namespace velvix {

void MRUManager::captureSoon(Browser browser, const std::string& itemID) {
  // filled in with the thumbnail cache
}

}  // namespace velvix
