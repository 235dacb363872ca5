#pragma once
// Mutes and unmutes the default input device for the keyboard's microphone key, remembers that
// the mute is this program's doing ("micMuteHeldByVelvix"), and hands the microphone back at the
// next launch or at quit. A device whose level can be set is muted by its level, which most
// devices honour even when their mute property is ignored. Every operation holds `lock`, so the
// mic key (on its own queue) and the quit clean-up (on the main thread) never interleave.

#include <mutex>
#include <optional>

namespace velvix {

namespace platform {
class AudioInput;
class UserDefaults;
}  // namespace platform

class MicMute {
 public:
  static constexpr const char* kHeldKey = "micMuteHeldByVelvix";
  static constexpr const char* kSavedVolumeKey = "micMuteSavedInputVolume";
  static constexpr float kSilent = 0.0001f;
  static constexpr float kDefaultRestoreLevel = 0.6f;

  // `defaults` keeps whether the mute is ours and the level to give back.
  MicMute(platform::AudioInput& microphone, platform::UserDefaults& defaults)
      : microphone_(microphone), defaults_(defaults) {}

  // Held by every operation; a caller that must read and act as one step holds it around both.
  std::recursive_mutex lock;

  bool isMuted();
  void setMuted(bool muted);
  // The mic key: the opposite of the present state, then the state read again; nothing (and no
  // change) once the quit clean-up has closed the key.
  std::optional<bool> toggle();
  // A mute that someone else lifted while this program was not running is no longer ours.
  void reconcileOwnershipAtLaunch();
  // From now on the mic key changes nothing: the application is quitting. Held under `lock`, so
  // a toggle already under way finishes first.
  void closeForQuit();

 private:
  bool mutedLocked() const;

  platform::AudioInput& microphone_;
  platform::UserDefaults& defaults_;
  bool closed_ = false;
};

}  // namespace velvix
