#pragma once
// The microphone overlay as far as the event tap needs it: it is told each new mute state. The
// overlay's window is not built yet; the last state shown is kept.

#include <optional>

namespace velvix {

class MicFeedbackHUD {
 public:
  void show(bool muted) { lastShown = muted; }
  std::optional<bool> lastShown;
};

}  // namespace velvix
