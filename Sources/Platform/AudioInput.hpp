#pragma once
// The system's default audio input device: its mute and its input level (0.0 to 1.0).

#include <optional>

namespace velvix::platform {

class AudioInput {
 public:
  virtual ~AudioInput() = default;
  // Nothing while there is no default input device.
  virtual bool hasDefaultDevice() const = 0;
  virtual std::optional<bool> mute() const = 0;
  virtual void setMute(bool muted) = 0;
  virtual std::optional<float> volume() const = 0;
  virtual bool canSetVolume() const = 0;
  virtual void setVolume(float level) = 0;
};

}  // namespace velvix::platform
