#include "Bridge/BrowserBridge.hpp"

namespace velvix {

BrowserBridge::BrowserBridge(Services& services) : services_(services) {}
BrowserBridge::~BrowserBridge() = default;

bool BrowserBridge::isChromiumConnected(Browser browser) const {
  auto it = chromiumClients_.find(browser);
  return it != chromiumClients_.end() && !it->second.empty();
}

}  // namespace velvix
