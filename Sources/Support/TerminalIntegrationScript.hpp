#pragma once
// The zsh script "velvix.zsh" that the shell integration keeps in the support folder: line-editor
// widgets that select, cut, redo and replace a mouse highlight, bound to the escape sequences the
// rewritten terminal keys make a terminal send. Three settings choose its optional bindings.

#include <string>

namespace velvix {

struct TerminalIntegrationScript {
  struct Options {
    bool charSelect = true;   // Shift-Left / Shift-Right select by character
    bool mouseSelect = true;  // typing over a mouse highlight replaces it (F15)
    bool lineDelete = true;   // Command-Delete deletes back to the start of the line (^U)
  };
  static std::string render(const Options& options);
};

}  // namespace velvix
