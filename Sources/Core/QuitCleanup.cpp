#include "Core/QuitCleanup.hpp"

#include "Core/MicMute.hpp"
#include "Platform/Application.hpp"
#include "Platform/UserDefaults.hpp"
#include "Support/DebugLog.hpp"
#include "Support/UpdateChecker.hpp"

namespace velvix {

void QuitCleanup::releaseMicrophoneIfHeld(MicMute& micMute, const platform::UserDefaults& defaults,
                                          const UpdateChecker& updateChecker,
                                          platform::Application& application, DebugLog& log,
                                          bool inputLocked) {
  // The mic key is closed first, under the mute lock: a press already being toggled finishes
  // before this reads the state, and none after it changes anything, so the state judged here is
  // the state the program quits with.
  micMute.closeForQuit();
  auto stillHeld = [&] { return defaults.boolean(MicMute::kHeldKey) && micMute.isMuted(); };
  auto unmuteIfStillHeld = [&] {
    std::lock_guard hold(micMute.lock);
    if (stillHeld()) micMute.setMuted(false);
  };
  if (!stillHeld()) return;
  // An update relaunch keeps the mute: the relaunched program goes on holding it.
  if (updateChecker.isRelaunchingForUpdate()) return;

  const bool systemQuit = application.currentQuitReason() != platform::Application::QuitReason::user;
  if (systemQuit || inputLocked) {
    log.log("quit: unmuting the microphone without asking (system-initiated quit or locked input)");
    unmuteIfStillHeld();
    return;
  }
  application.activate(true);
  log.log("quit: asking whether to unmute the microphone");
  const int choice = application.runAlert(kMessage, kInformativeText, {kUnmuteButton, kLeaveMutedButton});
  // The session ended while the question was open: the system's quit answers it, as if it had
  // come first.
  if (choice < 0 || application.currentQuitReason() != platform::Application::QuitReason::user) {
    log.log("quit: the system quit while the question was open; unmuting the microphone");
    unmuteIfStillHeld();
  } else if (choice == 0) {
    log.log("quit: unmuting the microphone at the user's request");
    // The flag or the mute may have changed while the dialog was open.
    unmuteIfStillHeld();
  } else {
    log.log("quit: leaving the microphone muted at the user's request");
  }
}

}  // namespace velvix
