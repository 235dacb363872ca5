#include "Core/MicMute.hpp"

#include "Platform/AudioInput.hpp"
#include "Platform/UserDefaults.hpp"

namespace velvix {

bool MicMute::mutedLocked() const {
  const platform::AudioInput& input = microphone_;
  if (!input.hasDefaultDevice()) return false;
  if (input.mute() == true) return true;
  auto level = input.volume();
  return level && input.canSetVolume() && *level <= kSilent;
}

bool MicMute::isMuted() {
  std::lock_guard hold(lock);
  return mutedLocked();
}

void MicMute::setMuted(bool muted) {
  std::lock_guard hold(lock);
  platform::AudioInput& input = microphone_;
  if (!input.hasDefaultDevice()) return;
  defaults_.set(kHeldKey, muted);
  auto level = input.volume();
  if (!level || !input.canSetVolume()) {
    input.setMute(muted);
    return;
  }
  if (muted) {
    if (*level > kSilent) defaults_.set(kSavedVolumeKey, *level);
    input.setVolume(0.0f);
    return;
  }
  // Only a silent level is ours to lift: a device muted by its mute property at a level the user
  // chose (another tool did that) keeps that level rather than a stale saved one.
  if (*level <= kSilent) {
    float restore = kDefaultRestoreLevel;
    if (auto saved = defaults_.object(kSavedVolumeKey);
        saved && saved->is_number() && saved->get<double>() > kSilent && saved->get<double>() <= 1.0)
      restore = static_cast<float>(saved->get<double>());
    input.setVolume(restore);
  }
  if (input.mute() == true) input.setMute(false);
}

std::optional<bool> MicMute::toggle() {
  std::lock_guard hold(lock);
  if (closed_) return std::nullopt;
  setMuted(!mutedLocked());
  return mutedLocked();
}

void MicMute::reconcileOwnershipAtLaunch() {
  std::lock_guard hold(lock);
  if (defaults_.boolean(kHeldKey) && !mutedLocked()) defaults_.set(kHeldKey, false);
}

void MicMute::closeForQuit() {
  std::lock_guard hold(lock);
  closed_ = true;
}

}  // namespace velvix
