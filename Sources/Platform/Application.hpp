#pragma once
// This program's application object: its own activation and termination.

#include <cstdint>
#include <vector>

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
  virtual void activate(bool ignoringOtherApps) = 0;
  virtual void deactivate() = 0;
  // Starts the normal terminate path (the delegate's quit handling runs).
  virtual void terminate() = 0;
  virtual bool isActive() const = 0;
};

}  // namespace velvix::platform
