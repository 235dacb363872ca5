#include "Core/QuitCleanup.hpp"

#include "Core/MicMute.hpp"
#include "Core/Services.hpp"
#include "Platform/Application.hpp"
#include "Platform/UserDefaults.hpp"
#include "Support/DebugLog.hpp"
#include "Support/UpdateChecker.hpp"

namespace velvix {

void QuitCleanup::releaseMicrophoneIfHeld(Services& services, bool inputLocked) {
  MicMute& mic = *services.micMute;
  // The mic key is closed first, under the mute lock: a press already being toggled finishes
  // before this reads the state, and none after it changes anything, so the state judged here is
  // the state the program quits with.
  mic.closeForQuit();
  auto stillHeld = [&] { return services.defaults->boolean(MicMute::kHeldKey) && mic.isMuted(); };
  auto unmuteIfStillHeld = [&] {
    std::lock_guard hold(mic.lock);
    if (stillHeld()) mic.setMuted(false);
  };
  if (!stillHeld()) return;
  // An update relaunch keeps the mute: the relaunched program goes on holding it.
  if (services.updateChecker && services.updateChecker->isRelaunchingForUpdate()) return;

  const bool systemQuit =
      services.application->currentQuitReason() != platform::Application::QuitReason::user;
  if (systemQuit || inputLocked) {
    services.log->log("quit: unmuting the microphone without asking (system-initiated quit or locked input)");
    unmuteIfStillHeld();
    return;
  }
  services.application->activate(true);
  const int choice =
      services.application->runAlert(kMessage, kInformativeText, {kUnmuteButton, kLeaveMutedButton});
  if (choice == 0) {
    services.log->log("quit: unmuting the microphone at the user's request");
    // The flag or the mute may have changed while the dialog was open.
    unmuteIfStillHeld();
  } else {
    services.log->log("quit: leaving the microphone muted at the user's request");
  }
}

}  // namespace velvix
