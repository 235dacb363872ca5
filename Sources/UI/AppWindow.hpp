#pragma once
// One of the application's own ordinary windows (settings, set-up). While it is key or being
// brought forward it is a window entry of the switcher like any other application's window; it
// leaves the switcher when it closes; Command-W closes it and Command-M minimises it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Platform/Geometry.hpp"
#include "Platform/InputEvent.hpp"

namespace velvix {

namespace platform {
class Application;
class MainLoop;
class Workspace;
}  // namespace platform

class MRUManager;

class AppWindow {
 public:
  // The window is one of `application`'s; it enters and leaves the switcher through `mru`, as an
  // entry of the program `workspace` names, stamped with `loop`'s clock.
  AppWindow(platform::Application& application, platform::Workspace& workspace, MRUManager& mru,
            platform::MainLoop& loop, const std::string& title, Rect frame, bool miniaturizable = true);
  ~AppWindow();
  AppWindow(const AppWindow&) = delete;
  AppWindow& operator=(const AppWindow&) = delete;

  // Handles Command-W and Command-M; false hands the event on.
  bool performKeyEquivalent(const platform::InputEvent& event,
                            const std::string& charactersIgnoringModifiers);
  void makeKeyAndOrderFront();
  void becomeKey();
  void close();
  void performMiniaturize();

  std::int64_t number() const { return number_; }
  // Runs once the window has closed, however it was closed (the owner's window-will-close).
  std::function<void()> onClose;
  bool isOpen() const { return open_; }

 private:
  std::optional<std::string> switcherItemID() const;
  void rememberInSwitcher();

  platform::Application& application_;
  platform::Workspace& workspace_;
  MRUManager& mru_;
  platform::MainLoop& loop_;
  std::int64_t number_ = 0;
  bool miniaturizable_;
  bool open_ = true;
};

}  // namespace velvix
