#pragma once
// The Controls pane: the switcher on or off and its chord, tab dragging, the Dock's previews and
// clicks, and the microphone key. Every control writes its setting; the pane keeps nothing.

#include "UI/SettingsPane.hpp"

namespace velvix {

class ControlsPane final : public SettingsPane {
 public:
  static constexpr const char* kDockPreviewsOffDetail = "Off while the switcher shows app icons.";
  explicit ControlsPane(SettingsView& view);
};

}  // namespace velvix
