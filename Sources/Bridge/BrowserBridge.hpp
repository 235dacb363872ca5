#pragma once
// The bridge between the browser and editor extensions and the inventory: it owns the socket
// server that the Chromium relays and the editors' extension hosts connect to and the message
// port that the Safari handler sends to, checks each socket peer as it connects and registers its
// connection by browser and session, turns every report into an inventory update, writes
// commands back, and keeps Safari's command queue and presence. Main thread only.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "Bridge/SafariPortServer.hpp"
#include "Bridge/UnixSocketServer.hpp"
#include "Core/SwitchableItem.hpp"
#include "Core/TabPack.hpp"
#include "Platform/Linux/SerialQueue.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Browser.hpp"
#include "Support/Observers.hpp"

namespace velvix {

class AppleScriptBridge;
class DebugLog;
class MRUManager;
class Preferences;
class RunningApps;
class TabMover;
struct ExtensionReport;
namespace platform {
class BundleReader;
class MainLoop;
class MessagePorts;
class NotificationCenter;
class ProcessTable;
class Workspace;
}  // namespace platform

class BrowserBridge {
 public:
  using Client = UnixSocketServer::Client;
  // Registration key ("session" of the connection's lines, or "conn:<number>") to client.
  using ClientMap = std::map<std::string, std::shared_ptr<Client>>;

  static constexpr const char* kStatusChangedNotification = "BridgeStatusChanged";
  static constexpr const char* kConnectionKeyPrefix = "conn:";
  static constexpr double kSafariLiveFor = 75.0;         // a Safari report keeps it live this long
  static constexpr double kExtensionSilentGrace = 75.0;  // before a silent extension counts as removed
  static constexpr double kRedactionNoticeFor = 90.0;
  static constexpr double kCloseConfirmWait = 1.2;
  static constexpr std::size_t kMaxSafariCommands = 8;

  struct Collaborators {
    std::filesystem::path home;  // the socket lives in its support folder
    // The programs a relay of ours runs (the installed copy, the build's own): a socket peer
    // running anything else is no relay.
    std::vector<std::filesystem::path> relayPrograms;
    platform::MessagePorts& messagePorts;  // the Safari handler's channel
    // Who a socket's peer is: its ancestry in the peers' table, the running applications, the bundles.
    const platform::ProcessTable& processes;
    const platform::Workspace& workspace;
    const platform::BundleReader& bundles;
    RunningApps& runningApps;
    Preferences& preferences;
    MRUManager& mru;
    TabMover& tabMover;
    AppleScriptBridge& appleScripts;  // names Safari's withheld tabs, closes a tab an extension left open
    platform::NotificationCenter& notifications;
    platform::MainLoop& loop;
    DebugLog& log;
  };

  explicit BrowserBridge(Collaborators collaborators);
  ~BrowserBridge();
  BrowserBridge(const BrowserBridge&) = delete;
  BrowserBridge& operator=(const BrowserBridge&) = delete;

  // Starts the socket server at the support folder's socket (a failure goes to the process log
  // and leaves Chromium and editor tracking off), then Safari's message port, and queues Safari's
  // first sync request.
  void start();
  bool isListening() const { return server_ != nullptr; }
  bool isSafariPortRegistered() const { return safariPort_ && safariPort_->isRegistered(); }
  // One message of the Safari handler: handled like a socket line without a connection, whatever
  // it holds, and answered with the commands due for its page.
  std::string handleSafariMessage(const std::string& text);

  // Takes a connected socket the program made itself as a connection from `peer`, a process the
  // program's own table knows (a browser of the simulated desktop running our relay); it is
  // checked like any peer. False (the descriptor closed) when the socket server is not running.
  bool adopt(int fd, platform::Pid peer);
  // A connection the socket server accepted, before any of its lines: its peer must be a relay
  // of ours started by a listed browser, or a listed editor's host; any other is closed at once.
  void handleAccept(const std::shared_ptr<Client>& client);
  // One report line, from a socket connection or (without one) from Safari. True when it was a
  // report that was accepted. On the socket only the browsers and editors that report over it
  // may be claimed, each only by its own kind of peer; any other claim closes the connection. A
  // line of kReadAsideBytes or more (a full report of thousands of tabs) is read on a thread of
  // the bridge's own, so the main loop goes on meanwhile, and is taken in once read; lines and
  // disconnects that come in the meantime wait behind it, so everything is still taken in the
  // order it came. Such a line answers true: what it holds is judged when it has been read.
  bool handle(const std::shared_ptr<Client>& client, std::string_view line);
  // A connection the socket server closed.
  void handleDisconnect(const std::shared_ptr<Client>& client);
  static constexpr std::size_t kReadAsideBytes = 256 * 1024;
  static std::optional<std::string> sessionOf(std::string_view line);
  // Told each accepted report and the browser found for it, once the inventory has taken it in.
  ObserverList<const ExtensionReport&, Browser> reportsHandled;

  // ---- presence (no side effects)
  const std::map<Browser, ClientMap>& chromiumClients() const { return chromiumClients_; }
  bool isChromiumConnected(Browser browser) const;
  // Browsers and Terminal always report tabs; an editor only while its extension is connected
  // (read each time, never cached).
  bool reportsTabs(Browser browser) const;
  std::vector<std::shared_ptr<Client>> clients(Browser browser) const;
  // The connection registered for the browser under the session; none without a session.
  std::shared_ptr<Client> client(Browser browser, const std::optional<std::string>& session) const;
  // Whether the browser's extension reports now (Safari: within the last 75 s; Terminal never).
  bool isExtensionLive(Browser browser) const;
  // As isExtensionLive, but only for browsers that take commands over the socket.
  bool canAcceptCommands(Browser browser) const;
  bool isAnyChromiumConnected() const;
  // Safari reports lately, and its tabs arrived without address and title lately.
  bool safariNeedsWebsiteAccess() const;
  // When the Safari extension last reported anything (monotonic clock), if it has since it quit.
  std::optional<double> lastSafariEventAt() const { return lastSafariEventAt_; }

  // ---- state changes and commands
  void browserQuit(Browser browser);
  // Keeps the "chromeExtensionSeen" setting in step with the connected extensions.
  void refreshExtensionPresence();
  void requestChromiumSync(Browser browser);
  // Writes "activate" for the extension tab item to the connection registered under its browser
  // and session; false when there is none or the write failed.
  bool sendActivate(const SwitchableItem& item);
  // Writes "close" for the extension tab item; without a "removed" report within 1.2 s the tab is
  // closed over Apple Events. False when the command could not be sent.
  bool closeChromiumTab(const SwitchableItem& item);
  void enqueueSafariCommand(nlohmann::json payload, std::optional<std::string> session);
  // The reply to one Safari message: its due commands as {"cmds":[...]}, else {"ok":true}.
  std::string drainSafariCommands(const std::optional<std::string>& session);

 private:
  struct Registration {
    Browser browser;
    std::string key;
    std::shared_ptr<Client> client;  // held, so its address is not reused while it is listed here
  };
  // A connection whose peer passed the check at accept, and what the check found it to be.
  struct CheckedPeer {
    Browser browser;
    std::shared_ptr<Client> client;  // held, as in Registration
  };
  struct SafariCommand {
    std::optional<std::string> session;
    nlohmann::json payload;
  };
  using NamedWindows = std::function<void(std::vector<SyncedWindow>)>;

  // A line or (without one) a disconnect that waits while a long line is read aside.
  struct Waiting {
    std::shared_ptr<Client> client;
    std::optional<std::string> line;
  };

  bool take(const std::shared_ptr<Client>& client, const std::optional<ExtensionReport>& report,
            std::size_t lineBytes);
  void disconnected(const std::shared_ptr<Client>& client);
  // Takes in what waits, in order, until a long line has to be read aside.
  void takeWaiting();
  std::optional<Browser> checkPeer(const Client& client);
  void logRefusal(std::optional<platform::Pid> pid) const;
  std::optional<Browser> acceptClaim(const std::shared_ptr<Client>& client, Browser claimed);
  void registerChromiumClient(const std::shared_ptr<Client>& client, Browser browser, const std::string& key);
  void noteSafariReport(const std::optional<std::string>& session);
  void dispatch(const ExtensionReport& report, Browser browser);
  void syncStep(Browser browser, const std::optional<std::string>& session,
                const std::vector<SyncedWindow>& windows, int windowsWithActive);
  void tabActivated(Browser browser, const std::optional<std::string>& session, const TabPack& pack,
                    bool windowFocused);
  void nameRedactedSafariTabs(std::vector<SyncedWindow> windows, NamedWindows completion);
  void noteTabPosition(Browser browser, const std::optional<std::string>& session, const TabPack& pack);
  void postStatusChanged();
  bool safariReportedWithin(double seconds) const;
  double uptime() const;

  const std::filesystem::path home_;
  const std::vector<std::filesystem::path> relayPrograms_;
  platform::MessagePorts& messagePorts_;
  const platform::ProcessTable& processes_;
  const platform::Workspace& workspace_;
  const platform::BundleReader& bundles_;
  RunningApps& runningApps_;
  Preferences& preferences_;
  // The inventory, the tab mover and the script bridge are built after the bridge and use it in
  // turn: neither the constructor nor the destructor calls them.
  MRUManager& mru_;
  TabMover& tabMover_;
  AppleScriptBridge& appleScripts_;
  platform::NotificationCenter& notifications_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  std::unique_ptr<UnixSocketServer> server_;
  std::unique_ptr<SafariPortServer> safariPort_;
  bool started_ = false;
  std::map<Browser, ClientMap> chromiumClients_;
  std::map<const Client*, CheckedPeer> checkedPeers_;
  std::map<const Client*, Registration> clientReg_;
  std::optional<double> lastSafariEventAt_;
  std::optional<std::string> lastSafariSession_;
  std::optional<double> chromiumSilentSince_;
  std::optional<double> lastSafariRedactionAt_;
  std::vector<SafariCommand> safariCommands_;
  std::map<std::string, SwitchableItem> pendingCloses_;  // by tab item id
  std::deque<Waiting> waiting_;
  bool readingAside_ = false;
  AliveToken alive_;
  // Reads long lines and frees their reports. Last: it finishes its work before the rest goes.
  std::unique_ptr<platform::SerialQueue> reader_;
};

}  // namespace velvix
