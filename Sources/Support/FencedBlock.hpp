#pragma once
// A block of lines that the application keeps inside a user's file, between an opening and a
// closing marker line. Markers count only as whole lines (a trailing carriage return tolerated),
// so an indented, commented or quoted copy of a marker is the user's text, not ours; installing,
// detecting and removing all find the block the same way.

#include <cstddef>
#include <string>
#include <string_view>

namespace velvix {

class FencedBlock {
 public:
  // absent: no marker line; complete: an opening line with a closing line after it; damaged: an
  // opening line without a closing one, or a closing line before any opening one. A damaged
  // block is left as it is: removing it could cut the user's lines, adding one would double it.
  enum class State { absent, complete, damaged };
  struct Found {
    State state = State::absent;
    std::size_t first = 0;  // line index of the opening marker
    std::size_t last = 0;   // line index of the closing marker
  };

  FencedBlock(std::string opening, std::string closing)
      : opening_(std::move(opening)), closing_(std::move(closing)) {}

  Found find(std::string_view text) const;
  // `text` without a complete block's lines and the blank line just before it; other text as is.
  std::string removing(std::string_view text, const Found& found) const;

  // Whether `line` (without its line feed) is exactly `marker`, perhaps followed by a carriage return.
  static bool isMarkerLine(std::string_view line, std::string_view marker);

 private:
  std::string opening_;
  std::string closing_;
};

}  // namespace velvix
