#pragma once
// Closes the entry the user asked to close from inside a chord: a window, the front window of an
// application (never the application itself), or a tab — through the browser's extension for
// Chromium-family tabs, through Apple Events for everything else. Fire and forget. Main thread.

#include "Core/SwitchableItem.hpp"

namespace velvix {

class AXWindowBridge;
class AppleScriptBridge;
class BrowserBridge;
class DebugLog;
class RunningApps;
namespace platform {
class Workspace;
}

class Closer {
 public:
  Closer(platform::Workspace& workspace, RunningApps& runningApps, AXWindowBridge& ax,
         BrowserBridge& browserBridge, AppleScriptBridge& appleScripts, DebugLog& log)
      : workspace_(workspace),
        runningApps_(runningApps),
        ax_(ax),
        browserBridge_(browserBridge),
        appleScripts_(appleScripts),
        log_(log) {}
  void close(const SwitchableItem& item);

 private:
  platform::Workspace& workspace_;
  RunningApps& runningApps_;
  AXWindowBridge& ax_;
  BrowserBridge& browserBridge_;
  AppleScriptBridge& appleScripts_;
  DebugLog& log_;
};

}  // namespace velvix
