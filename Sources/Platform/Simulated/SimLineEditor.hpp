#pragma once
// The line editor of the shell that a simulated terminal window runs: it acts on the keys that
// reach the terminal as zsh's line editor does with this program's shell integration loaded, so
// the rewritten editing keys can be seen at work. The editable line is the text after the prompt
// on the text area's last line; characters insert at the cursor, Control-A / Control-E move to
// the line's ends, Control-U and Control-K kill back and forward, Control-underscore undoes,
// Shift-arrows and F13, F14, F18, F19 select, F15 replaces a mouse highlight handed over, F16 cuts
// to the pasteboard, F17 redoes, and Return starts a new prompt line.

#include <string>

#include "Platform/InputEvent.hpp"

namespace velvix::platform {
class Pasteboard;
}

namespace velvix::sim {

struct SimTextArea;

class SimLineEditor {
 public:
  static constexpr const char* kPrompt = "user@simulated ~ % ";

  // Acts on one event that reached the terminal; true when the area changed. `handoffFile`: where
  // the program hands the shell a mouse highlight to replace (F15).
  static bool handle(SimTextArea& area, const platform::InputEvent& event, platform::Pasteboard& pasteboard,
                     const std::string& handoffFile = {});
  // Where the editable line begins in the area's text (bytes).
  static std::size_t lineStart(const SimTextArea& area);
};

}  // namespace velvix::sim
