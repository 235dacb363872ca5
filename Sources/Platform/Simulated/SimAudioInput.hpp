#pragma once
// The default input device of the simulated desktop: a microphone with a mute and, when
// `levelSettable`, an input level.

#include "Platform/AudioInput.hpp"

namespace velvix::sim {

class SimAudioInput final : public platform::AudioInput {
 public:
  bool hasDefaultDevice() const override { return present; }
  std::optional<bool> mute() const override {
    if (!present || !hasMute) return std::nullopt;
    return muted;
  }
  void setMute(bool value) override {
    if (present && hasMute) muted = value;
  }
  std::optional<float> volume() const override {
    if (!present || !levelSettable) return std::nullopt;
    return level;
  }
  bool canSetVolume() const override { return present && levelSettable; }
  void setVolume(float value) override {
    if (canSetVolume()) level = value;
  }

  bool present = true;
  bool hasMute = true;
  bool muted = false;
  bool levelSettable = true;
  float level = 0.75f;
};

}  // namespace velvix::sim
