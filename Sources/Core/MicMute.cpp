#include "Core/MicMute.hpp"

#include "Core/Services.hpp"
#include "Platform/AudioInput.hpp"
#include "Platform/UserDefaults.hpp"

namespace velvix {

bool MicMute::isMuted() const {
  const platform::AudioInput& input = *services_.audioInput;
  if (!input.hasDefaultDevice()) return false;
  if (input.mute() == true) return true;
  auto level = input.volume();
  return level && input.canSetVolume() && *level <= kSilent;
}

void MicMute::setMuted(bool muted) {
  platform::AudioInput& input = *services_.audioInput;
  if (!input.hasDefaultDevice()) return;
  services_.defaults->set(kHeldKey, muted);
  auto level = input.volume();
  if (!level || !input.canSetVolume()) {
    input.setMute(muted);
    return;
  }
  if (muted) {
    if (*level > kSilent) services_.defaults->set(kSavedVolumeKey, *level);
    input.setVolume(0.0f);
    return;
  }
  float restore = kDefaultRestoreLevel;
  if (auto saved = services_.defaults->object(kSavedVolumeKey); saved && saved->is_number() &&
                                                                 saved->get<double>() > kSilent)
    restore = static_cast<float>(saved->get<double>());
  input.setVolume(restore);
  if (input.mute() == true) input.setMute(false);
}

void MicMute::reconcileOwnershipAtLaunch() {
  if (services_.defaults->boolean(kHeldKey) && !isMuted()) services_.defaults->set(kHeldKey, false);
}

}  // namespace velvix
