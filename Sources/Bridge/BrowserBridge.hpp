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
#include "Core/SwitchableItem.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

struct Services;

class BrowserBridge {
 public:
  // Registration key ("session" of the connection's first line, or "conn:<number>") to client.
  using ClientMap = std::map<std::string, std::shared_ptr<UnixSocketServer::Client>>;

  static constexpr const char* kStatusChangedNotification = "BridgeStatusChanged";
  static constexpr double kSafariLiveFor = 75.0;
  static constexpr double kCloseFallbackAfter = 1.2;

  explicit BrowserBridge(Services& services);
  ~BrowserBridge();

  // The connected relay and editor-extension clients of each browser. A browser with at least
  // one client has its extension connected. Main thread.
  const std::map<Browser, ClientMap>& chromiumClients() const { return chromiumClients_; }
  bool isChromiumConnected(Browser browser) const;
  // Whether the browser's extension reports now: Safari's within the last 75 s, a Chromium-family
  // browser's or an editor's while one of its clients is connected; Terminal never.
  bool isExtensionLive(Browser browser) const;
  // Asks every connected client of the browser for a full sync.
  void requestChromiumSync(Browser browser);
  // The browser quit: Safari no longer counts as live; the status windows are told.
  void browserQuit(Browser browser);
  // Asks the extension to close the tab; when it has not reported the tab closed 1.2 s later, the
  // tab is closed over Apple Events. False when no connection of the tab's session can be asked.
  bool closeChromiumTab(const SwitchableItem& item);

  // When the Safari extension last reported anything (monotonic clock), if it has in this run.
  std::optional<double> lastSafariEventAt() const { return lastSafariEventAt_; }

 private:
  Services& services_;
  std::map<Browser, ClientMap> chromiumClients_;
  std::optional<double> lastSafariEventAt_;
  std::map<std::int64_t, SwitchableItem> pendingCloses_;  // by tab id
  AliveToken alive_;
};

}  // namespace velvix
