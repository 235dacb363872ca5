#pragma once
// The object the application framework calls at launch, activation and termination. It owns the
// long-lived pieces of the switcher core and brings every service up in a fixed order.

#include <cstdint>
#include <memory>

#include "Core/Services.hpp"
#include "Platform/Workspace.hpp"

namespace velvix {

class AppDelegate {
 public:
  // Options of the process activity held for the whole run: user initiated (idle system sleep
  // allowed) and latency critical, so timers are not coalesced and the process never naps.
  static constexpr std::uint64_t kNoNapActivityOptions = 0xFF00EFFFFFull;
  static constexpr const char* kNoNapReason = "The keyboard event tap must answer immediately";
  // How long the launch waits for older copies to quit, and the slices it spins the loop in.
  static constexpr double kOtherInstancesDeadline = 2.0;
  static constexpr double kOtherInstancesPollSlice = 0.05;

  explicit AppDelegate(Services& services);
  ~AppDelegate();

  void applicationDidFinishLaunching();
  void applicationWillTerminate();

 private:
  void terminateOtherInstances();

  Services& services_;
  std::unique_ptr<platform::ActivityToken> noNapActivity_;
};

}  // namespace velvix
