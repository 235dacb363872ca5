#pragma once
// The Terminal pane: the editor-like editing keys in terminals on or off, consent to the zsh
// integration and to the editors' terminal keybindings, and one switch per editing feature. The
// feature cards are dimmed and locked while the editing keys are off; their values stay stored.

#include "UI/SettingsPane.hpp"

namespace velvix {

class TerminalPane final : public SettingsPane {
 public:
  static std::string footer(const std::string& terminalSummary);
  explicit TerminalPane(SettingsView& view);
};

}  // namespace velvix
