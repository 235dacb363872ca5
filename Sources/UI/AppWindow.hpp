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

struct Services;

class AppWindow {
 public:
  AppWindow(Services& services, const std::string& title, Rect frame, bool miniaturizable = true);
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

  Services& services_;
  std::int64_t number_ = 0;
  bool miniaturizable_;
  bool open_ = true;
};

}  // namespace velvix
