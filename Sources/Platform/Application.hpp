#pragma once
// This program's application object: its own activation and termination.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Geometry.hpp"

namespace velvix::platform {

class Application {
 public:
  // One of this program's own windows.
  struct OwnWindow {
    std::int64_t number = 0;
    bool miniaturized = false;
    bool visible = false;
  };

  virtual ~Application() = default;
  virtual std::vector<OwnWindow> windows() const = 0;
  virtual void deminiaturize(std::int64_t window) = 0;
  virtual void makeKeyAndOrderFront(std::int64_t window) = 0;
  // Creates one of this program's windows (hidden until ordered front); its window-server number.
  virtual std::int64_t createWindow(const std::string& title, Rect frame) = 0;
  virtual void closeWindow(std::int64_t window) = 0;
  virtual void miniaturize(std::int64_t window) = 0;
  virtual std::optional<std::string> windowTitle(std::int64_t window) const = 0;
  // `handler` runs on the main loop each time the window becomes the key window (the front one of
  // this program's windows while the program is active); an empty handler stops that.
  // The key window: the front one of this program's windows while the program is active.
  virtual std::optional<std::int64_t> keyWindow() const = 0;
  virtual void setBecameKeyHandler(std::int64_t window, std::function<void()> handler) = 0;

  // Why the system asks the application to quit, when it does. `signal`: SIGTERM or SIGINT, the
  // way a Linux session's end (log out, shut down) or its terminal stops a program.
  enum class QuitReason { user, logOut, restart, shutDown, signal };
  virtual QuitReason currentQuitReason() const = 0;
  // A modal warning alert; the index of the button the user chose, or -1 when it went away
  // without one (the program is quitting).
  virtual int runAlert(const std::string& message, const std::string& informativeText,
                       const std::vector<std::string>& buttons) = 0;
  // A floating informational alert that does not block the loop; `answer` is called on the main
  // loop with the index of the button the user chose, and the alert goes away. An alert that goes
  // away without a button pressed (the program is quitting) never calls it.
  virtual void showAlert(const std::string& message, const std::string& informativeText,
                         const std::vector<std::string>& buttons, std::function<void(int)> answer) = 0;
  virtual void activate(bool ignoringOtherApps) = 0;
  virtual void deactivate() = 0;
  // Starts the normal terminate path (the delegate's quit handling runs).
  virtual void terminate() = 0;
  virtual bool isActive() const = 0;
  // The standard About panel, one of the program's own windows while it is open.
  virtual void orderFrontStandardAboutPanel() = 0;
  // Hides the program's windows and gives up being frontmost.
  virtual void hide() = 0;
};

}  // namespace velvix::platform
