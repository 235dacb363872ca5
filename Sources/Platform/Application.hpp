#pragma once
// This program's application object: its own activation and termination.

namespace velvix::platform {

class Application {
 public:
  virtual ~Application() = default;
  virtual void activate(bool ignoringOtherApps) = 0;
  virtual void deactivate() = 0;
  // Starts the normal terminate path (the delegate's quit handling runs).
  virtual void terminate() = 0;
  virtual bool isActive() const = 0;
};

}  // namespace velvix::platform
