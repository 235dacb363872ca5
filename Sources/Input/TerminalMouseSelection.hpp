#pragma once
// Typing over text that the user highlighted with the mouse in a terminal. The terminal never
// tells the shell about such a highlight, so this reads it through Accessibility, hands it to the
// zsh integration in a small file ("mouse-selection" in the support folder: a one-use token with
// the count of characters after the highlight, the highlighted text, and the text after it on its
// line) and presses F15, whose widget deletes the text from the command line; the typed key is then
// posted again. The text after it tells the widget which occurrence it is whatever else the line
// shows (a right-hand prompt, blanks). The event tap tells this object of every left press and
// release, and it decides from them whether a highlight may be on screen (`armed`). Main thread only.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "Platform/Accessibility.hpp"
#include "Platform/Geometry.hpp"
#include "Platform/InputEvent.hpp"

namespace velvix {

class AXDeadline;
class DebugLog;
namespace platform {
class EventTaps;
class Workspace;
}  // namespace platform

class TerminalMouseSelection {
 public:
  static constexpr const char* kHandoffFile = "mouse-selection";
  static constexpr double kMessagingTimeout = 0.2;
  static constexpr int kSearchDepth = 4;
  static constexpr std::size_t kChildrenSearched = 16;
  static constexpr std::int64_t kF15 = 113;
  // A press and release further apart than this (either way) made a highlight.
  static constexpr double kDragDistance = 3.0;

  struct Selection {
    std::string text;  // never empty, never holds a line feed
    std::size_t
        after;  // characters (code points, as zsh counts) after it on its line, trailing blanks excluded
    std::string following;  // those characters
  };

  // The highlight is read through `accessibility`; the hand-off file goes into the support folder of
  // `home`, its token names this process as `workspace` knows it, and the keys are posted to `taps`.
  TerminalMouseSelection(platform::Accessibility& accessibility, platform::EventTaps& taps,
                         const platform::Workspace& workspace, DebugLog& log, std::filesystem::path home);

  bool armed = false;  // a highlight may be on screen

  // A left press at `location` (top-left screen coordinates) starts a click that has highlighted
  // nothing yet.
  void leftMouseDown(Point location);
  // The release that ends it arms when the pointer moved further than kDragDistance either way (a
  // drag highlights) or the click was a double or triple one (which highlight a word or a line).
  void leftMouseUp(Point location, int clickCount);

  // The highlight in the focused window of the terminal process, read within `deadline`.
  std::optional<Selection> current(platform::Pid terminalPID, const AXDeadline& deadline);
  // Writes the hand-off file, then posts F15 and, when `resend`, the typed key again (with its
  // flags and text). True when the file was written.
  bool requestReplacement(const Selection& selection, const platform::InputEvent& typing, bool resend);
  // Deletes the hand-off file; errors (a missing file) are ignored.
  void discardHandoff() const;

  std::filesystem::path handoffPath() const;

 private:
  platform::AXElement textElement(platform::AXElement application, const AXDeadline& deadline);
  platform::AXElement firstTextElement(platform::AXElement element, int depth, const AXDeadline& deadline);
  platform::AXElement elementAttribute(platform::AXElement element, const char* attribute,
                                       const AXDeadline& deadline);
  std::optional<std::string> stringAttribute(platform::AXElement element, const char* attribute,
                                             const AXDeadline& deadline);
  std::optional<std::string> string(platform::AXElement element, platform::AXRange range,
                                    const AXDeadline& deadline);

  platform::Accessibility& accessibility_;
  platform::EventTaps& taps_;
  const platform::Workspace& workspace_;
  DebugLog& log_;
  const std::filesystem::path home_;
  std::optional<Point> pressLocation_;
  std::uint64_t handoffCount_ = 0;
};

}  // namespace velvix
