#pragma once
// Mutes and unmutes the default input device for the keyboard's microphone key, remembers that
// the mute is this program's doing ("micMuteHeldByVelvix"), and hands the microphone back at the
// next launch or at quit. A device whose level can be set is muted by its level, which most
// devices honour even when their mute property is ignored.

#include <mutex>

namespace velvix {

struct Services;

class MicMute {
 public:
  static constexpr const char* kHeldKey = "micMuteHeldByVelvix";
  static constexpr const char* kSavedVolumeKey = "micMuteSavedInputVolume";
  static constexpr float kSilent = 0.0001f;
  static constexpr float kDefaultRestoreLevel = 0.6f;

  explicit MicMute(Services& services) : services_(services) {}

  // Held by the mic-key handler around its read, toggle and read again.
  std::mutex lock;

  bool isMuted() const;
  void setMuted(bool muted);
  // A mute that someone else lifted while this program was not running is no longer ours.
  void reconcileOwnershipAtLaunch();

 private:
  Services& services_;
};

}  // namespace velvix
