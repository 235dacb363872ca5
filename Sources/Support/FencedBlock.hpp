#pragma once
// A block of lines that the application keeps inside a user's file, between an opening and a
// closing marker line. Markers count only as whole lines (a trailing carriage return tolerated;
// blanks around them too where an editor may reindent the file), so a commented or quoted copy
// of a marker is the user's text, not ours; installing, detecting and removing all find the
// block the same way. A file may hold the block more than once (a copy pasted from another
// machine, an install that raced another): every copy is found, so none is left behind.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velvix {

class FencedBlock {
 public:
  // absent: no marker line; complete: an opening line with a closing line after it; damaged: an
  // opening line without a closing one, or a closing line before any opening one. A damaged
  // block is left as it is: removing it could cut the user's lines, adding one would double it.
  enum class State { absent, complete, damaged };
  // wholeLine: a marker line is the marker alone; ignoringBlanks: spaces and tabs around it as well.
  enum class Match { wholeLine, ignoringBlanks };
  struct Found {
    State state = State::absent;
    std::size_t first = 0;  // line index of the opening marker
    std::size_t last = 0;   // line index of the closing marker
    std::size_t begin = 0;  // where the opening marker's line starts, in bytes
    std::size_t end = 0;    // where the closing marker's line ends, before its line feed
  };

  FencedBlock(std::string opening, std::string closing, Match match = Match::wholeLine)
      : opening_(std::move(opening)), closing_(std::move(closing)), match_(match) {}

  // The first damaged block when there is one (a damaged file is left alone as a whole), else the
  // first complete block, else absent.
  Found find(std::string_view text) const;
  // Every block in the order of the text; scanning stops at a damaged one, which then ends the list.
  std::vector<Found> findAll(std::string_view text) const;
  // `text` without the lines of every complete block it holds after the first `keep` ones, each with
  // the blank line just before it; other text as is.
  std::string removing(std::string_view text, std::size_t keep = 0) const;

  // Whether `line` (without its line feed) is `marker`, perhaps followed by a carriage return.
  static bool isMarkerLine(std::string_view line, std::string_view marker, Match match = Match::wholeLine);

 private:
  std::string opening_;
  std::string closing_;
  Match match_;
};

}  // namespace velvix
