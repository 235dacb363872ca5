#pragma once
// The Apple Events fallback for tabs: reads and switches the tabs of Chromium-family browsers,
// Safari and Terminal where no extension reports them (and always switches and closes Safari's).
// Every operation assembles a script from a library and a trailer, runs it through the script
// runner (Safari's switch and close through the in-process host while it is usable) and answers
// on the main loop.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Core/SwitchableItem.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/ScriptRunner.hpp"
#include "Support/AliveToken.hpp"
#include "Support/Browser.hpp"

namespace velvix {

class AXWindowBridge;
class BrowserBridge;
class DebugLog;
class MRUManager;
class PermissionsService;
class RunningApps;
class SafariScriptHost;
namespace platform {
class Workspace;
}

class AppleScriptBridge {
 public:
  static constexpr double kSafariSeedDelay = 40.0;
  static constexpr double kSafariExtensionFresh = 75.0;
  static constexpr double kWindowNamesFresh = 5.0;

  struct CurrentTab {
    std::string url;
    std::string title;
    std::string windowID;  // "as:<script window id>"
    std::optional<int> position;
  };
  struct FrontTab {
    std::string url;
    std::string title;
    int position;
    int tabCount;
  };

  struct Collaborators {
    platform::ScriptRunner& scriptRunner;
    SafariScriptHost& safariHost;  // Safari's switch and close while it is usable
    platform::Workspace& workspace;
    RunningApps& runningApps;
    AXWindowBridge& ax;  // Safari's window titles
    PermissionsService& permissions;
    BrowserBridge& browserBridge;  // whether Safari's extension reports
    MRUManager& mru;
    platform::MainLoop& loop;
    DebugLog& log;
  };

  explicit AppleScriptBridge(Collaborators collaborators);

  // Fills the inventory with the tabs open now (Safari: 40 s later, unless its extension reports).
  void seed(Browser browser);
  void currentTabAsync(Browser browser, std::function<void(CurrentTab)> completion);
  void liveTabKeysAsync(Browser browser,
                        std::function<void(std::optional<std::vector<std::string>>)> completion);
  void frontTabsAsync(std::function<void(std::vector<FrontTab>)> completion);
  void scriptedWindowNamesAsync(
      Browser browser, std::function<void(std::optional<std::vector<std::string>>, bool fresh)> completion);
  std::vector<std::string> cachedScriptedWindowNames(Browser browser) const;
  // Switches to ("resolvetab") or closes ("closetab") the tab of the item; true on success.
  void resolve(const SwitchableItem& item, const std::string& handler, std::function<void(bool)> completion);
  // Closes the Chromium-family extension tab the item stands for, found by its window's and its
  // own id ("closeidentified"); true when it was closed. No looser match: the tab may be gone
  // already, and a tab that took its place is another one.
  void closeIdentified(const SwitchableItem& item, std::function<void(bool)> completion);

  // The 1-based position in a record's fourth field, when it is one.
  static std::optional<int> position(const std::vector<std::string>& fields);
  static std::vector<std::string> splitFields(const std::string& line);
  // The records of a front-tabs answer with numbers in their position and tab-count fields.
  static std::vector<FrontTab> frontTabs(const std::vector<std::string>& lines);

  // Runs the library with the trailer (none: the source alone); the completion gets the output
  // lines on the main loop, or nothing when the script failed or was killed (logged).
  void run(const std::string& source, const std::string& trailer,
           std::function<void(std::optional<std::vector<std::string>>)> completion);
  // The trailer, preceded for Safari by the statement with its windows' Accessibility titles.
  std::string scoped(const std::string& trailer, Browser browser) const;

 private:
  void runLibrary(Browser browser, const std::string& trailer,
                  std::function<void(std::optional<std::vector<std::string>>)> completion);
  void finishResolve(Browser browser, const std::string& handler, const std::string& id, std::int64_t index,
                     const std::optional<std::string>& url,
                     const std::optional<std::vector<std::string>>& lines,
                     const std::function<void(bool)>& completion);
  void seedNow(Browser browser);
  bool isRunning(Browser browser) const;

  platform::ScriptRunner& runner_;
  // Built after this bridge: neither the constructor nor the destructor calls it.
  SafariScriptHost& safariHost_;
  platform::Workspace& workspace_;
  RunningApps& runningApps_;
  AXWindowBridge& ax_;
  PermissionsService& permissions_;
  BrowserBridge& browserBridge_;
  MRUManager& mru_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  struct Names {
    std::vector<std::string> names;
    double at;
  };
  std::map<Browser, Names> windowNames_;
  std::set<Browser> windowNamesInFlight_;
  std::vector<platform::Timer> pendingSeeds_;
  AliveToken alive_;
};

}  // namespace velvix
