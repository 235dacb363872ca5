#pragma once
// The default input device of the simulated desktop: a microphone with a mute and, when
// `levelSettable`, an input level. Like a real microphone it keeps its mute and level when the
// program stops: with a state file they are read from it and written to it on every change, so
// a mute left on at quit is still on at the next launch.

#include <optional>
#include <string>

#include "Platform/AudioInput.hpp"

namespace velvix::sim {

class SimAudioInput final : public platform::AudioInput {
 public:
  bool hasDefaultDevice() const override { return present; }
  std::optional<bool> mute() const override {
    if (!present || !hasMute) return std::nullopt;
    return muted;
  }
  void setMute(bool value) override;
  std::optional<float> volume() const override {
    if (!present || !levelSettable) return std::nullopt;
    return level;
  }
  bool canSetVolume() const override { return present && levelSettable; }
  void setVolume(float value) override;

  // Takes the mute and level from `path` when it holds them, and keeps them there from now on.
  // A file that cannot be read as a state leaves the device as it is and says why.
  std::optional<std::string> useStateFile(const std::string& path);

  bool present = true;
  bool hasMute = true;
  bool muted = false;
  bool levelSettable = true;
  float level = 0.75f;

 private:
  void writeFile() const;
  std::string path_;
};

}  // namespace velvix::sim
