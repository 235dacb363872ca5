#pragma once
// Carries out the switch the user committed in a chord: brings an application forward, raises one
// of its windows (or one of this program's own windows), or switches a browser, terminal or
// editor tab. When the chosen entry cannot be activated its next neighbours are tried, three
// entries at most. Applications, the window server and extensions react late and sometimes not at
// all, so every activation re-asserts itself a few times during the next second — unless the user
// has clicked (or typed) meanwhile, or a newer activation has started. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Core/SwitchableItem.hpp"
#include "Platform/Workspace.hpp"
#include "Support/AliveToken.hpp"

namespace velvix {

class AXWindowBridge;
class AppMonitor;
class AppleScriptBridge;
class BrowserBridge;
class DebugLog;
class MRUManager;
class RunningApps;
class WindowList;
namespace platform {
class Application;
class InputState;
class MainLoop;
}  // namespace platform

class Activator {
 public:
  static constexpr int kMaxCandidates = 3;
  static constexpr double kReactivateAfter = 0.15;

  // What brings an entry forward, and what is told once it came forward.
  struct Collaborators {
    platform::Workspace& workspace;  // activates the applications
    RunningApps& runningApps;
    const WindowList& windowList;
    AXWindowBridge& ax;                  // raises the windows
    platform::Application& application;  // this program's own windows
    const BrowserBridge& browserBridge;  // the extensions that switch tabs
    AppleScriptBridge& appleScripts;     // switches the tabs of browsers without one
    const platform::InputState& input;   // whether the user has clicked or typed since
    MRUManager& mru;                     // marks the entry activated
    AppMonitor& appMonitor;              // kept from recording the activation as the user's own
    platform::MainLoop& loop;
    DebugLog& log;
  };

  explicit Activator(const Collaborators& collaborators);

  // Activates the entry at `startingAt` (taken modulo the count), falling back to its neighbours.
  void activate(const std::vector<SwitchableItem>& items, std::size_t startingAt);

  // The activation counter: work of an older activation does nothing once it has moved on.
  std::uint64_t generation() const { return generation_; }

  // Why an entry failed, for the log.
  std::string diagnosis(const SwitchableItem& item) const;

 private:
  void tryCandidate(std::shared_ptr<const std::vector<SwitchableItem>> items, std::size_t start,
                    std::size_t offset, std::uint64_t generation);
  void judge(std::shared_ptr<const std::vector<SwitchableItem>> items, std::size_t start, std::size_t offset,
             std::uint64_t generation, bool ok);
  bool attemptApp(const SwitchableItem& item);
  void attemptTab(const SwitchableItem& item, std::function<void(bool)> completion);
  void attemptAppleEvents(const SwitchableItem& item, std::function<void(bool)> completion);
  bool raiseOwnWindow(std::int64_t number, const platform::RunningApplication& app);
  void raiseEditorWindow(Browser browser, const std::string& title);
  void activateApplication(platform::Pid pid);
  std::optional<platform::RunningApplication> applicationOf(const SwitchableItem& item) const;
  std::optional<platform::RunningApplication> runningBrowser(Browser browser) const;
  // Whether the user clicked (or, with `includingKeys`, typed) since `since` (monotonic clock).
  bool userActed(double since, bool includingKeys) const;
  // Runs `step` after `delay` unless a newer activation has started meanwhile.
  void later(double delay, std::function<void()> step);
  bool isOwnBundle(const std::string& bundleID) const;

  platform::Workspace& workspace_;
  RunningApps& runningApps_;
  const WindowList& windowList_;
  AXWindowBridge& ax_;
  platform::Application& application_;
  const BrowserBridge& browserBridge_;
  AppleScriptBridge& appleScripts_;
  const platform::InputState& input_;
  MRUManager& mru_;
  AppMonitor& appMonitor_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  std::uint64_t generation_ = 0;
  AliveToken alive_;
};

}  // namespace velvix
