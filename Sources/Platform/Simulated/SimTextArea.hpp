#pragma once
// The text area that a simulated terminal window shows through Accessibility: its whole text
// (scroll-back and prompt line), the mouse highlight as a range in UTF-16 units as the platform
// counts them, and the faults tests switch on (attributes that fail, a slow answer).

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Accessibility.hpp"

namespace velvix::sim {

struct SimTextArea {
  std::string text;             // UTF-8
  platform::AXRange selection;  // UTF-16 units; length 0: nothing highlighted
  // The application's focused element is the text area itself; otherwise the scroll area that
  // holds it, and a reader must look for the text area below the window.
  bool focusedIsTextArea = true;
  std::set<std::string> failingAttributes;  // "AXStringForRange" included
  double latency = 0;                       // added to each message to the area

  // The shell's line editor (SimLineEditor): the cursor and the mark of an active region, as
  // bytes into `text` (nothing: at its end), and the line's earlier and undone states.
  struct LineState {
    std::string line;
    std::size_t cursor = 0;  // into `line`
  };
  std::optional<std::size_t> cursor;
  std::optional<std::size_t> mark;
  std::vector<LineState> undo, redo;
  std::string lastHandoff;  // the mouse highlight handed over last, which is used once

  // Highlights the last occurrence of `part` (as a mouse drag would); false when it is absent.
  bool highlight(std::string_view part);
  std::int64_t length16() const;
  // The text of a range in UTF-16 units; nothing when it lies outside the text.
  std::optional<std::string> slice(platform::AXRange range) const;
};

}  // namespace velvix::sim
