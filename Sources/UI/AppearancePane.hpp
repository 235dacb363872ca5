#pragma once
// The Appearance pane: application icons or window previews (two cards with a miniature of each
// style), the Screen Recording grant that previews need while it is missing, and the switcher's
// size preset and glass rendering.

#include "UI/SettingsPane.hpp"

namespace velvix {

class AppearancePane final : public SettingsPane {
 public:
  explicit AppearancePane(SettingsView& view);
};

}  // namespace velvix
