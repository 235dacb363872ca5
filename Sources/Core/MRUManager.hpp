#pragma once
// The one inventory of everything the switcher can list — applications, their windows, and
// browser, terminal and editor tabs — each with the time it was last used. Entries come in by
// seeding at launch, bumps when applications are activated or left, the mark after a successful
// activation and the tab reports; they leave by removal, caps, termination and the checks of the
// ranked list and the reconcile pass. The entries and the bookkeeping beside them are private:
// others read them through entries() and find() and change them only through the operations
// below. Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "Core/SwitchableItem.hpp"
#include "Core/TabPack.hpp"
#include "Core/WindowList.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Browser.hpp"

namespace velvix {

namespace platform {
class MainLoop;
class ProcessTable;
class Workspace;
}  // namespace platform
class AXWindowBridge;
class AppMonitor;
class AppleScriptBridge;
class BrowserBridge;
class ChordSnapshot;
class DebugLog;
class PermissionsService;
class Preferences;
class RunningApps;
class ThumbnailStore;

class MRUManager {
 public:
  static constexpr double kTabExpiry = 1500.0;            // seconds since last use, at ranking
  static constexpr double kOffScreenCheckDeadline = 0.3;  // Accessibility budget of the ranked list
  static constexpr double kMinimizedSeedBudget = 1.5;
  static constexpr double kDeactivationBackdate = 0.75;
  static constexpr int kDeadWindowStrikes = 2;
  static constexpr double kRecentActivationGrace = 6.0;
  static constexpr int kStrikeLimit = 3;
  static constexpr double kVerificationInterval = 1.5;
  // The tab entry that stands for a browser's focused window that is not a tab window.
  static constexpr const char* kAuxPlaceholderURL = "velvix-aux://focused";
  // A full sync may have been taken before the single-tab reports that arrived just ahead of it:
  // for this long a reported close or focused activation outranks what a sync says.
  static constexpr double kReportOutranksSyncFor = 2.0;

  // What the inventory follows and asks: the platform's applications and windows, the settings,
  // the pictures of its entries, and the bridges that report and verify browser tabs.
  struct Collaborators {
    platform::MainLoop& loop;
    platform::Workspace& workspace;
    platform::ProcessTable& processes;
    platform::NotificationCenter& notifications;
    DebugLog& log;
    Preferences& preferences;
    WindowList& windowList;
    AXWindowBridge& ax;
    RunningApps& runningApps;
    ThumbnailStore& thumbnails;
    BrowserBridge& browserBridge;
    AppleScriptBridge& appleScripts;
    PermissionsService& permissions;
    AppMonitor& appMonitor;
  };

  explicit MRUManager(Collaborators collaborators);
  MRUManager(const MRUManager&) = delete;
  MRUManager& operator=(const MRUManager&) = delete;

  // Every entry, in insertion order (not recency order; rankings sort on demand).
  const std::vector<SwitchableItem>& entries() const { return items_; }
  // The entry with the id, if any. Good until the inventory next changes.
  const SwitchableItem* find(const std::string& id) const;

  // The inventory and its bookkeeping as they are, for tests and benchmarks that seed a state no
  // operation makes or check the bookkeeping itself: nothing is capped, ranked or pictured.
  struct StateForTesting {
    std::vector<SwitchableItem>& items;
    std::map<std::string, int>& reconcileStrikes;
    std::set<std::string>& unresolvableIDs;
    std::map<Browser, double>& lastTabVerification;
    std::map<Browser, std::string>& focusedTabID;
  };
  StateForTesting stateForTesting() {
    return {items_, reconcileStrikes_, unresolvableIDs_, lastTabVerification_, focusedTabID_};
  }

  // Entries the user really used come before estimated (seeded) ones, then the later use first.
  static bool recencyBefore(const SwitchableItem& a, const SwitchableItem& b) {
    return recencyBefore(a.seeded, a.lastActivatedAt, b.seeded, b.lastActivatedAt);
  }
  static bool recencyBefore(bool aSeeded, double aDate, bool bSeeded, double bDate) {
    if (aSeeded != bSeeded) return !aSeeded;
    return aDate > bDate;
  }
  static void sortByRecency(std::vector<SwitchableItem>& list);

  // ---- entries of applications and windows
  void seedRunningApps();
  // Records that the application was activated (or left) at `date`.
  void bumpApp(const platform::RunningApplication& app, double date);
  // The same inside a chord's start: the windows are told from what the start read.
  void bumpApp(const platform::RunningApplication& app, double date, const ChordSnapshot& chord);
  void markActivated(const std::string& id);
  void refreshFrontWindow(const std::string& bundleID, std::int64_t windowNumber);
  // Inserts one application-kind entry, or merges it into the entry with its id: an estimate never
  // changes an entry the user used, and no date moves backwards.
  void upsertApp(const SwitchableItem& item);
  void removeItem(const std::string& id);
  void removeApp(const std::string& bundleID);
  std::optional<std::string> title(const std::string& id) const;
  std::optional<std::string> mostRecentTabItemID(Browser browser) const;
  // Applies the per-window and overall tab limits. A report that adds no tab and moves none
  // between windows cannot break them, and skips this.
  void enforceCaps();

  // ---- tab entries
  // "tab:<browser>:[<first 8 characters of the session>:]<tab id>" for tabs that extensions report.
  static std::string tabItemID(Browser browser, const std::optional<std::string>& session,
                               std::int64_t tabID);
  // 64-bit FNV-1a of the UTF-8 bytes, lowercase hexadecimal without leading zeros.
  static std::string stableHash(const std::string& text);
  // A URL that tells which tab is meant (not empty, not a blank or new-tab page).
  static bool isIdentifyingURL(const std::string& url);
  // A tab seen through Apple Events (position 1-based as the script gives it).
  void touchScriptedTab(Browser browser, const std::string& url, const std::string& title,
                        const std::string& windowID, std::optional<int> tabPosition, double date,
                        bool seeded);
  void refreshFrontTab(Browser browser, double date);
  // The browser quit: every tab entry of it goes.
  void purgeTabs(Browser browser);
  // Copies what an extension reported of a tab into the entry at `index`.
  void apply(const TabPack& pack, std::size_t index);

  // ---- reconciliation and expiry
  // The timer pass: expires old tabs and removes windows missing from two consecutive passes.
  void purgeDeadAndExpired();
  // Reconciles the browser's tab entries with the keys (URLs, ttys) of its open tabs, one per
  // tab; a tab missing from `strikeLimit` consecutive enumerations goes. Returns the removed ids.
  std::set<std::string> reconcile(Browser browser, const std::vector<std::string>& liveKeys, int strikeLimit);
  // A scripted activation found no such tab: verify the browser's tabs soon.
  void noteUnresolvableTab(const std::string& id, Browser browser);

  // ---- the ranked list of a chord (no Accessibility call; then the off-screen check)
  // Both are told from what the chord's start read of the platform, `snapshot`; the forms without
  // one read the platform themselves, for callers outside a chord.
  std::vector<SwitchableItem> rankedForSwitcher();
  // The same into `list`, which may hold an earlier chord's entries: they are overwritten where
  // they lie, so their strings' storage serves again.
  void rankedForSwitcher(std::vector<SwitchableItem>& list, const ChordSnapshot& snapshot);
  // Takes the list by value: the chord hands over the list it just ranked, which is then
  // filtered where it lies instead of copied again.
  std::vector<SwitchableItem> resolvingOffScreenWindows(std::vector<SwitchableItem> list);
  std::vector<SwitchableItem> resolvingOffScreenWindows(std::vector<SwitchableItem> list,
                                                        const ChordSnapshot& snapshot);

  // What Accessibility told of each asked process's windows: nothing when it could not tell them,
  // else their numbers. The off-screen check runs inside the key press that opens a chord: the
  // answers lie in two arrays, without a node per number.
  class AXAnswers {
   public:
    void add(platform::Pid pid, std::optional<std::span<const std::int64_t>> numbers);
    // The numbers of `pid`'s windows, sorted, when it was asked and they could be told.
    std::optional<std::span<const std::int64_t>> windowsOf(platform::Pid pid) const;

   private:
    struct Answer {
      platform::Pid pid;
      bool told;
      std::uint32_t begin, end;  // its run of `numbers_`
    };
    std::vector<Answer> answers_;  // in ascending process order
    std::vector<std::int64_t> numbers_;
  };
  struct OffScreenWindow {
    std::int64_t number;
    platform::Pid pid;
  };
  // The off-screen windows that their process's answer does not list and that lie on no hidden
  // Space (`onSpace`), sorted.
  static std::vector<std::int64_t> closedWindowNumbers(const std::vector<OffScreenWindow>& offScreen,
                                                       const AXAnswers& answers,
                                                       const std::set<std::int64_t>& onSpace);
  // The processes of `appPIDs` whose answer lists no window and that have none on a hidden Space
  // (`pidsOnSpace`, sorted), in the order of `appPIDs`.
  static std::vector<platform::Pid> pidsWithNoWindows(const std::vector<platform::Pid>& appPIDs,
                                                      const AXAnswers& answers,
                                                      const std::vector<platform::Pid>& pidsOnSpace);

  // Removes every entry matching `remove` together with its cached thumbnail. Every removal from
  // the inventory goes through here.
  void removeWhere(const std::function<bool(const SwitchableItem&)>& remove);

  // ---- tab reports of browser and editor extensions
  // A tab became active: it enters (or moves to) the front when its window has the focus, and
  // enters as an estimate otherwise. A private tab is dropped unless private tabs are listed.
  void tabActivated(Browser browser, const std::optional<std::string>& session, const TabPack& pack,
                    bool inFocusedWindow);
  // Title, address or position changed: refreshes an existing entry, never creates one.
  void tabUpdated(Browser browser, const std::optional<std::string>& session, const TabPack& pack);
  void tabRemoved(Browser browser, const std::optional<std::string>& session, std::int64_t tabID);
  // The tab took a new id; its entry keeps its date and picture.
  void tabReplaced(Browser browser, const std::optional<std::string>& session, std::int64_t oldTabID,
                   const TabPack& pack);
  // The reporter of one session went away: every extension tab of that exact session goes
  // (an absent session: the extension tabs reported without one).
  void purgeTabs(Browser browser, const std::optional<std::string>& session);
  // The complete tab list of one reporter: closed tabs go, listed ones are refreshed, each
  // window's active tab gets an entry, older Safari sessions are merged in. An empty list is
  // ignored.
  void adoptSync(Browser browser, const std::optional<std::string>& session,
                 const std::vector<SyncedWindow>& windows);
  // A still of the browser's front window for the tab entry, soon.
  void captureSoon(Browser browser, const std::string& itemID);

 private:
  void bumpApp(const platform::RunningApplication& app, double date, const ChordSnapshot* chord);
  struct PriorSessions {
    double date;
    bool seeded;
  };
  // After Safari's extension restarted: takes the entries of its earlier sessions that stand for
  // the reported tab out of the list, and gives the date and seeded flag the new entry inherits.
  std::optional<PriorSessions> adoptPriorSessions(Browser browser, const std::optional<std::string>& session,
                                                  const TabPack& pack);
  // Re-keys the entries of Safari's earlier sessions onto the tabs of a full report, or drops them.
  void reconcileForeignSessions(Browser browser, const std::optional<std::string>& session,
                                const std::vector<SyncedWindow>& windows);
  // A new extension tab entry from a reported tab (icon, date and seeded left to the caller).
  static SwitchableItem extensionTabEntry(Browser browser, const std::optional<std::string>& session,
                                          const TabPack& pack);
  bool includesPrivateTabs() const;
  // A reporter of the browser is connected under exactly this session.
  bool sessionIsConnected(Browser browser, const std::optional<std::string>& session) const;

 private:
  void creditSleepTime();
  void applyPreferences();
  void hideExcludedWindowTitles();
  void seedMinimizedWindows(double& offset);
  std::optional<std::string> windowTitle(const WindowList::Info& info,
                                         const platform::RunningApplication& app,
                                         const std::map<std::int64_t, std::string>& axTitles) const;
  SwitchableItem windowEntry(const WindowList::Info& info, const platform::RunningApplication& app,
                             const std::map<std::int64_t, std::string>& axTitles) const;
  // The entry with the id, to change in place; the one lookup the edits share with find.
  SwitchableItem* entry(const std::string& id) {
    return const_cast<SwitchableItem*>(std::as_const(*this).find(id));
  }
  bool isExcluded(const std::string& bundleID) const;
  bool isDead(platform::Pid pid) const;
  void verifyTabs(Browser browser);

  bool isProvablyWindowless(platform::Pid pid) const;
  // The id of the entry first in the recency order, if any.
  std::optional<std::string> newestID() const;
  double now() const;

  // Tab closes and focused activations reported lately (monotonic clock), which a full sync
  // arriving just after them must not undo.
  struct ReportedActivation {
    std::string id;
    double at = 0;
  };
  std::map<std::string, double> recentlyClosedTabs_;
  // The inventory's positions in the order of the last ranking: where the next one starts from.
  std::vector<std::uint32_t> rankOrder_;
  std::map<Browser, ReportedActivation> recentFocusedActivation_;
  void noteClosedTab(const std::string& id);
  bool closedLately(const std::string& id) const;
  // The tab the user activated lately in the browser's focused window, if any.
  std::optional<std::string> activatedLately(Browser browser) const;

  // Entries in insertion order.
  std::vector<SwitchableItem> items_;
  // Tab entries missing from consecutive enumerations of their browser's tabs, and how often.
  std::map<std::string, int> reconcileStrikes_;
  // Tab entries a scripted activation could not find: the next enumeration that misses them
  // removes them without waiting for more strikes.
  std::set<std::string> unresolvableIDs_;
  // When each browser's tabs were last verified (uptime), which keeps verifications apart.
  std::map<Browser, double> lastTabVerification_;
  // The entry of the tab each browser last reported active in its focused window: the one its
  // activation brings to the front.
  std::map<Browser, std::string> focusedTabID_;
  // When the machine went to sleep, until it wakes.
  std::optional<double> sleepBegan_;
  // Window entries missing from consecutive timer passes, and how often.
  std::map<std::string, int> deadWindowStrikes_;

  platform::MainLoop& loop_;
  platform::Workspace& workspace_;
  platform::ProcessTable& processes_;
  platform::NotificationCenter& notifications_;
  DebugLog& log_;
  Preferences& preferences_;
  WindowList& windowList_;
  AXWindowBridge& ax_;
  RunningApps& runningApps_;
  ThumbnailStore& thumbnails_;
  BrowserBridge& browserBridge_;
  AppleScriptBridge& appleScripts_;
  PermissionsService& permissions_;
  AppMonitor& appMonitor_;
  // A tab entry changed window (or session) since the caps were last applied: a window may hold
  // more tabs than its limit until they are applied again.
  bool tabMovedSinceCaps_ = false;
  platform::NotificationCenter::Observation preferencesObservation_;
  platform::NotificationCenter::Observation sleepObservation_;
  platform::NotificationCenter::Observation wakeObservation_;
  AliveToken alive_;
};

}  // namespace velvix
