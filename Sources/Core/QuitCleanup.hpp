#pragma once
// Before the application quits: the microphone mute that the mic key applies is system-wide and
// only this program's key switches it back, so quitting while holding it either releases it
// silently (a quit by the system, or while input is locked) or asks the user.

namespace velvix {
namespace platform {
class Application;
class UserDefaults;
}  // namespace platform

class DebugLog;
class MicMute;
class UpdateChecker;

class QuitCleanup {
 public:
  static constexpr const char* kMessage = "Your microphone is muted by Velvix.";
  static constexpr const char* kInformativeText =
      "The mute is system-wide \u2014 every app sees it \u2014 and quitting takes away the mic key that "
      "switches it "
      "back.\n\nYou can also raise the input level later in System Settings \u25B8 Sound \u25B8 Input.";
  static constexpr const char* kUnmuteButton = "Unmute and Quit";
  static constexpr const char* kLeaveMutedButton = "Quit, Leave Muted";

  // `inputLocked` tells whether the event tap holds the input lock (an automated set-up is typing).
  // Whether the mute is still this program's is read from `defaults`; `updateChecker` tells an
  // update relaunch, which keeps it; the question is asked through `application`.
  static void releaseMicrophoneIfHeld(MicMute& micMute, const platform::UserDefaults& defaults,
                                      const UpdateChecker& updateChecker, platform::Application& application,
                                      DebugLog& log, bool inputLocked);
};

}  // namespace velvix
