#pragma once
// The bridge between the browser and editor extensions and the inventory: it registers the
// extensions' connections by browser and session, turns their reports into inventory updates and
// writes commands back to them.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Bridge/UnixSocketServer.hpp"
#include "Core/Browser.hpp"

namespace velvix {

struct Services;

class BrowserBridge {
 public:
  // Registration key ("session" of the connection's first line, or "conn:<number>") to client.
  using ClientMap = std::map<std::string, std::shared_ptr<UnixSocketServer::Client>>;

  explicit BrowserBridge(Services& services);
  ~BrowserBridge();

  // The connected relay and editor-extension clients of each browser. A browser with at least
  // one client has its extension connected. Main thread.
  const std::map<Browser, ClientMap>& chromiumClients() const { return chromiumClients_; }
  bool isChromiumConnected(Browser browser) const;
  // When the Safari extension last reported anything (monotonic clock), if it has in this run.
  std::optional<double> lastSafariEventAt() const { return lastSafariEventAt_; }

 private:
  Services& services_;
  std::map<Browser, ClientMap> chromiumClients_;
  std::optional<double> lastSafariEventAt_;
};

}  // namespace velvix
