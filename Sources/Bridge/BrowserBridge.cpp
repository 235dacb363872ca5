// The bridge's connections and reports: the socket server's start, the peer check at accept and
// the claims a checked peer may make, the registry of connections by browser and session, every
// report line into the inventory and the tab mover, and disconnects.

#include "Bridge/BrowserBridge.hpp"

#include <unistd.h>

#include "Bridge/ExtensionReport.hpp"
#include "Bridge/SafariTabNaming.hpp"
#include "Core/MRUManager.hpp"
#include "Core/TabMover.hpp"
#include "Platform/Linux/FreedMemory.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Platform/ProcessTable.hpp"
#include "Platform/Utf8.hpp"
#include "Support/DebugLog.hpp"
#include "Support/ProcessLineage.hpp"
#include "Support/ProcessLog.hpp"

namespace velvix {

namespace {

// The whole process table, made-up processes included, as the table of its own peers: the peer
// of a connection the program handed over itself is one of the processes the program knows,
// which the kernel's table alone may not list.
class WholeTable final : public platform::ProcessTable {
 public:
  explicit WholeTable(const platform::ProcessTable& table) : table_(table) {}
  Probe probe(platform::Pid pid) const override { return table_.probe(pid); }
  std::optional<platform::Pid> parent(platform::Pid pid) const override { return table_.parent(pid); }
  std::optional<std::string> executablePath(platform::Pid pid) const override {
    return table_.executablePath(pid);
  }
  std::optional<std::string> name(platform::Pid pid) const override { return table_.name(pid); }
  std::vector<platform::Pid> allPids() const override { return table_.allPids(); }
  std::optional<std::string> bundleIdentifier(platform::Pid pid) const override {
    return table_.bundleIdentifier(pid);
  }

 private:
  const platform::ProcessTable& table_;
};

}  // namespace

BrowserBridge::BrowserBridge(Collaborators collaborators)
    : home_(std::move(collaborators.home)),
      relayPrograms_(std::move(collaborators.relayPrograms)),
      messagePorts_(collaborators.messagePorts),
      processes_(collaborators.processes),
      workspace_(collaborators.workspace),
      bundles_(collaborators.bundles),
      runningApps_(collaborators.runningApps),
      preferences_(collaborators.preferences),
      mru_(collaborators.mru),
      tabMover_(collaborators.tabMover),
      appleScripts_(collaborators.appleScripts),
      notifications_(collaborators.notifications),
      loop_(collaborators.loop),
      log_(collaborators.log) {}
BrowserBridge::~BrowserBridge() = default;

double BrowserBridge::uptime() const {
  return loop_.uptime();
}

void BrowserBridge::postStatusChanged() {
  notifications_.post(kStatusChangedNotification);
}

void BrowserBridge::start() {
  if (started_) return;
  started_ = true;
  auto server = std::make_unique<UnixSocketServer>(hostchannel::socketPath(home_.string()), loop_);
  // Asked on the socket's own thread: whether the peer runs our relay at all is read from the
  // kernel's table there, so a stranger is turned away before it holds a place.
  server->admits = [this](std::optional<platform::Pid> pid) {
    if (pid && ProcessLineage::runsRelay(processes_, *pid, relayPrograms_)) return true;
    logRefusal(pid);
    return false;
  };
  server->onAccept = [this, watch = alive_.watch()](const std::shared_ptr<Client>& client) {
    if (!watch.expired()) handleAccept(client);
  };
  server->onLine = [this, watch = alive_.watch()](const std::shared_ptr<Client>& client,
                                                  const std::string& line) {
    if (!watch.expired()) handle(client, line);
  };
  server->onDisconnect = [this, watch = alive_.watch()](const std::shared_ptr<Client>& client) {
    if (!watch.expired()) handleDisconnect(client);
  };
  if (auto error = server->start())
    processLog("Velvix: Chrome socket failed to start: " + *error);
  else
    server_ = std::move(server);
  safariPort_ = std::make_unique<SafariPortServer>(
      messagePorts_, [this, watch = alive_.watch()](const std::string& text) {
        return watch.expired() ? std::string(R"({"ok":true})") : handleSafariMessage(text);
      });
  safariPort_->start();  // a failure is logged there; Safari's reports are then lost for the run
  // The first Safari message after launch is answered with a request for its whole tab list.
  enqueueSafariCommand({{"cmd", "sync"}}, std::nullopt);
}

std::string BrowserBridge::handleSafariMessage(const std::string& text) {
  log_.log("safari port recv: " + utf8::prefix(text, 200));
  const auto session = sessionOf(text);
  handle(nullptr, text);  // a rejected or malformed message is still answered
  return drainSafariCommands(session);
}

std::optional<std::string> BrowserBridge::sessionOf(std::string_view line) {
  return ExtensionReport::sessionOf(line);
}

bool BrowserBridge::handle(const std::shared_ptr<Client>& client, std::string_view line) {
  if (readingAside_ || line.size() >= kReadAsideBytes) {
    waiting_.push_back({client, std::string(line)});
    takeWaiting();
    return true;
  }
  return take(client, ExtensionReport::parse(line), line.size());
}

void BrowserBridge::takeWaiting() {
  while (!readingAside_ && !waiting_.empty()) {
    Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    if (!next.line) {
      disconnected(next.client);
      continue;
    }
    if (next.line->size() < kReadAsideBytes) {
      take(next.client, ExtensionReport::parse(*next.line), next.line->size());
      continue;
    }
    // Reading a report of many thousands of tabs takes a tenth of a second and more: the main
    // loop, which also answers the keyboard, goes on meanwhile.
    readingAside_ = true;
    if (!reader_) reader_ = std::make_unique<platform::SerialQueue>("com.kolvi.velvix.report-reader");
    reader_->async([this, watch = alive_.watch(), &loop = loop_, client = std::move(next.client),
                    line = std::move(*next.line)]() mutable {
      auto report = std::make_shared<std::optional<ExtensionReport>>(ExtensionReport::parse(line));
      const std::size_t bytes = line.size();
      std::string().swap(line);
      loop.post([this, watch, client = std::move(client), report = std::move(report), bytes]() mutable {
        if (watch.expired()) return;
        readingAside_ = false;
        take(client, *report, bytes);
        // Its thousands of strings are freed aside too, and the pages they took handed back: a
        // report that large is rare, and the memory would otherwise stay with the process.
        reader_->async([report = std::move(report)]() mutable {
          report.reset();
          platform::returnFreedMemory();
        });
        takeWaiting();
      });
    });
  }
}

bool BrowserBridge::take(const std::shared_ptr<Client>& client, const std::optional<ExtensionReport>& report,
                         std::size_t lineBytes) {
  if (!report) {
    log_.log("bridge: dropped a line that is no report (" + std::to_string(lineBytes) + " bytes)");
    return false;
  }
  // Only Safari's messages come without a connection.
  if (!client && report->browser != Browser::safari) return false;

  Browser browser = report->browser;
  if (client) {
    const auto found = acceptClaim(client, browser);
    if (!found) return false;
    browser = *found;
    if (report->session)
      registerChromiumClient(client, browser, *report->session);
    else
      registerChromiumClient(client, browser, kConnectionKeyPrefix + std::to_string(client->number()));
  } else {
    noteSafariReport(report->session);
  }
  dispatch(*report, browser);
  reportsHandled.notify(*report, browser);
  return true;
}

bool BrowserBridge::adopt(int fd, platform::Pid peer) {
  if (!server_) {
    ::close(fd);
    return false;
  }
  return server_->adopt(fd, peer);
}

void BrowserBridge::handleAccept(const std::shared_ptr<Client>& client) {
  if (auto found = checkPeer(*client)) {
    checkedPeers_[client.get()] = {*found, client};
    return;
  }
  // Closed at once: a refused peer kept open would hold one of the socket's few places.
  client->close();
}

// Only our relay program may hold a connection; the process that started it says for whom: a
// listed Chromium-family browser, or else a listed editor among its ancestors (an editor's host
// is let in only as our relay program too). The browser found is the one that counts,
// whatever a line later claims.
std::optional<Browser> BrowserBridge::checkPeer(const Client& client) {
  const auto pid = client.peerPID();
  const WholeTable whole(processes_);
  const platform::ProcessTable& table = client.isAdopted() ? whole : processes_;
  std::optional<Browser> found;
  if (pid && ProcessLineage::runsRelay(table, *pid, relayPrograms_)) {
    found = ProcessLineage::chromiumBrowser(table, workspace_, bundles_, log_, *pid, relayPrograms_);
    if (!found) found = ProcessLineage::editor(table, workspace_, bundles_, *pid);
  }
  if (!found) logRefusal(pid);
  return found;
}

void BrowserBridge::logRefusal(std::optional<platform::Pid> pid) const {
  log_.log("rejecting socket peer pid=" + (pid ? std::to_string(*pid) : std::string("?")) +
           ": not a Chromium relay");
}

// The socket carries the reports of Chromium-family browsers (through their relays) and editors
// (from their hosts). A claim of anything else ("safari", "terminal"), or of the other kind than
// the peer was found to be, is no report of ours: the line and the connection go.
std::optional<Browser> BrowserBridge::acceptClaim(const std::shared_ptr<Client>& client, Browser claimed) {
  auto checked = checkedPeers_.find(client.get());
  if (checked == checkedPeers_.end()) {
    client->close();  // refused at accept; its lines still on their way are dropped with it
    return std::nullopt;
  }
  const Browser found = checked->second.browser;
  const bool sameKind = browsers::isEditor(claimed)
                            ? browsers::isEditor(found)
                            : browsers::isChromiumFamily(claimed) && browsers::isChromiumFamily(found);
  if (sameKind) return found;
  const auto pid = client->peerPID();
  log_.log("dropping socket peer pid=" + (pid ? std::to_string(*pid) : std::string("?")) + " of " +
           std::string(browsers::rawValue(found)) + ": it claims to be " +
           std::string(browsers::rawValue(claimed)));
  client->close();
  return std::nullopt;
}

void BrowserBridge::registerChromiumClient(const std::shared_ptr<Client>& client, Browser browser,
                                           const std::string& key) {
  auto reg = clientReg_.find(client.get());
  if (reg != clientReg_.end()) {
    auto& [oldBrowser, oldKey, held] = reg->second;
    auto& oldMap = chromiumClients_[oldBrowser];
    auto slot = oldMap.find(oldKey);
    const bool heldThere = slot != oldMap.end() && slot->second == client;
    if (oldBrowser == browser && oldKey == key && heldThere) return;
    if (heldThere) oldMap.erase(slot);  // an emptied map stays
  }
  // A different connection under the same place is displaced; its own registration stays.
  chromiumClients_[browser][key] = client;
  clientReg_[client.get()] = {browser, key, client};
  postStatusChanged();
}

void BrowserBridge::handleDisconnect(const std::shared_ptr<Client>& client) {
  if (readingAside_) {
    waiting_.push_back({client, std::nullopt});  // after the lines it sent before it closed
    return;
  }
  disconnected(client);
}

void BrowserBridge::disconnected(const std::shared_ptr<Client>& client) {
  checkedPeers_.erase(client.get());
  auto reg = clientReg_.find(client.get());
  if (reg == clientReg_.end()) return;  // never accepted
  const Registration gone = std::move(reg->second);
  clientReg_.erase(reg);
  auto& map = chromiumClients_[gone.browser];
  if (auto slot = map.find(gone.key); slot != map.end() && slot->second == client) map.erase(slot);

  // An editor's tabs live only as long as its host reports them; a browser's age out instead.
  if (browsers::isEditor(gone.browser)) {
    log_.log(std::string(browsers::rawValue(gone.browser)) + " host " + utf8::prefix(gone.key, 12) +
             " disconnected; dropping its tabs");
    // A connection that sent no session reported its tabs without one. Tabs go only when no
    // connection that reports them is left (a successor under the same session, or another
    // connection without one).
    const bool sessionless = gone.key.starts_with(kConnectionKeyPrefix);
    const bool stillReported =
        sessionless
            ? std::any_of(map.begin(), map.end(),
                          [](const auto& entry) { return entry.first.starts_with(kConnectionKeyPrefix); })
            : map.contains(gone.key);
    if (!stillReported)
      mru_.purgeTabs(gone.browser, sessionless ? std::nullopt : std::optional<std::string>(gone.key));
  }
  postStatusChanged();
}

void BrowserBridge::noteSafariReport(const std::optional<std::string>& session) {
  const double now = uptime();
  const auto last = lastSafariEventAt_;
  lastSafariEventAt_ = now;
  if (!last || now - *last >= kSafariLiveFor) postStatusChanged();
  if (session && session != lastSafariSession_) {
    log_.log("safari page " + utf8::prefix(*session, 8) + " reporting (previous " +
             (lastSafariSession_ ? utf8::prefix(*lastSafariSession_, 8) : std::string("none")) + ")");
    lastSafariSession_ = session;
  }
}

void BrowserBridge::dispatch(const ExtensionReport& report, Browser browser) {
  const auto& session = report.session;
  switch (report.event) {
    case ReportEvent::hello:
    case ReportEvent::other:
      break;
    case ReportEvent::sync: {
      if (!report.windows) break;
      int withActive = 0;
      for (const auto& window : *report.windows)
        if (std::any_of(window.tabs.begin(), window.tabs.end(), [](const TabPack& t) { return t.active; }))
          ++withActive;
      if (browser != Browser::safari) {
        syncStep(browser, session, *report.windows, withActive);
        break;
      }
      nameRedactedSafariTabs(*report.windows, [this, session, withActive](std::vector<SyncedWindow> named) {
        syncStep(Browser::safari, session, named, withActive);
      });
      break;
    }
    case ReportEvent::activated: {
      if (!report.tab) break;
      const TabPack& pack = *report.tab;
      const bool focused = report.windowFocused;
      if (browser != Browser::safari || !pack.redacted) {
        tabActivated(browser, session, pack, focused);
        break;
      }
      std::vector<SyncedWindow> one{{.windowID = pack.windowID, .focused = focused, .tabs = {pack}}};
      nameRedactedSafariTabs(std::move(one), [this, session, pack, focused](std::vector<SyncedWindow> named) {
        const bool answered = !named.empty() && !named.front().tabs.empty();
        tabActivated(Browser::safari, session, answered ? named.front().tabs.front() : pack, focused);
      });
      break;
    }
    case ReportEvent::updated:
      if (!report.tab) break;
      mru_.tabUpdated(browser, session, *report.tab);
      noteTabPosition(browser, session, *report.tab);
      break;
    case ReportEvent::cmdresult:
      log_.log("safari cmd result: " + report.cmd + " ok=" + (report.ok ? "true" : "false") +
               " error=" + report.error);
      break;
    case ReportEvent::removed:
      if (!report.tabID) break;
      pendingCloses_.erase(MRUManager::tabItemID(browser, session, *report.tabID));  // the close worked
      mru_.tabRemoved(browser, session, *report.tabID);
      break;
    case ReportEvent::replaced:
      if (!report.replacedTabID || !report.tab) break;
      mru_.tabReplaced(browser, session, *report.replacedTabID, *report.tab);
      break;
  }
}

void BrowserBridge::syncStep(Browser browser, const std::optional<std::string>& session,
                             const std::vector<SyncedWindow>& windows, int windowsWithActive) {
  mru_.adoptSync(browser, session, windows);
  std::size_t tabs = 0;
  for (const auto& window : windows) tabs += window.tabs.size();
  std::string ids;
  std::size_t tracked = 0;
  for (const auto& e : mru_.entries())
    if (e.kind == ItemKind::tab && e.browser == browser) {
      ids += (tracked++ ? ", " : "") + e.id;
    }
  log_.log("sync " + std::string(browsers::rawValue(browser)) +
           ": windows=" + std::to_string(windows.size()) + " tabs=" + std::to_string(tabs) +
           " windowsWithActive=" + std::to_string(windowsWithActive) +
           " \u2192 tracked=" + std::to_string(tracked) + " [" + ids + "]");
}

void BrowserBridge::tabActivated(Browser browser, const std::optional<std::string>& session,
                                 const TabPack& pack, bool windowFocused) {
  mru_.tabActivated(browser, session, pack, windowFocused);
  noteTabPosition(browser, session, pack);
}

void BrowserBridge::noteTabPosition(Browser browser, const std::optional<std::string>& session,
                                    const TabPack& pack) {
  tabMover_.noteTabPosition(browser, session, pack);
}

void BrowserBridge::nameRedactedSafariTabs(std::vector<SyncedWindow> windows, NamedWindows completion) {
  if (!SafariTabNaming::needsNaming(windows)) {
    completion(std::move(windows));
    return;
  }
  if (!lastSafariRedactionAt_ || uptime() - *lastSafariRedactionAt_ > kRedactionNoticeFor) {
    log_.log(
        "safari: tabs arrive without URL or title \u2014 the extension lacks website access; naming them "
        "over "
        "Apple Events");
    postStatusChanged();
  }
  lastSafariRedactionAt_ = uptime();
  appleScripts_.frontTabsAsync([this, watch = alive_.watch(), windows = std::move(windows),
                                completion = std::move(completion)](auto answers) mutable {
    if (watch.expired()) return;
    if (SafariTabNaming::name(windows, answers) == 0 && !answers.empty())
      log_.log("safari: " + std::to_string(answers.size()) +
               " window(s) from Apple Events, none matched a withheld tab");
    completion(std::move(windows));
  });
}

}  // namespace velvix
