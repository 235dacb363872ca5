#include "Platform/Simulated/SimLineEditor.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

#include "Platform/Pasteboard.hpp"
#include "Platform/Simulated/SimTextArea.hpp"
#include "Platform/Utf8.hpp"

namespace velvix::sim {

namespace {

namespace Flag = platform::EventFlag;

// Virtual key codes of the keys the line editor knows.
constexpr std::int64_t kA = 0, kE = 14, kU = 32, kK = 40, kMinus = 27, kReturn = 36, kDelete = 51,
                       kForwardDelete = 117, kLeft = 123, kRight = 124, kF13 = 105, kF14 = 107, kF15 = 113,
                       kF16 = 106, kF17 = 64, kF18 = 79, kF19 = 80;

// zsh's word characters: letters, digits and its default WORDCHARS; bytes of other characters
// count as letters.
bool isWordByte(unsigned char c) {
  return c >= 0x80 || std::isalnum(c) || (c != 0 && std::strchr("*?_-.[]~=/&;!#$%^(){}<>", c));
}

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The line being edited, as the editor's widgets see it.
struct Line {
  std::string text;
  std::size_t cursor = 0;
  std::optional<std::size_t> mark;

  std::size_t charLeft(std::size_t at) const {
    if (at == 0) return 0;
    --at;
    while (at > 0 && isContinuation(static_cast<unsigned char>(text[at]))) --at;
    return at;
  }
  std::size_t charRight(std::size_t at) const {
    if (at >= text.size()) return text.size();
    ++at;
    while (at < text.size() && isContinuation(static_cast<unsigned char>(text[at]))) ++at;
    return at;
  }
  std::size_t wordLeft(std::size_t at) const {
    while (at > 0 && !isWordByte(static_cast<unsigned char>(text[at - 1]))) --at;
    while (at > 0 && isWordByte(static_cast<unsigned char>(text[at - 1]))) --at;
    return at;
  }
  std::size_t wordRight(std::size_t at) const {
    while (at < text.size() && !isWordByte(static_cast<unsigned char>(text[at]))) ++at;
    while (at < text.size() && isWordByte(static_cast<unsigned char>(text[at]))) ++at;
    return at;
  }
  void erase(std::size_t from, std::size_t to) {
    text.erase(from, to - from);
    cursor = from;
    mark.reset();
  }
  void killRegion() {
    const std::size_t from = std::min(*mark, cursor), to = std::max(*mark, cursor);
    erase(from, to);
  }
};

// The shell integration's mouse-replace widget: the highlight handed over in the file ("<token>
// <characters after it>" then the highlighted text) is cut out of the line where it lies nearest
// to where it was seen; each hand-off is used once.
bool replaceHandedOff(Line& line, SimTextArea& area, const std::string& file) {
  std::ifstream in(file);
  std::string first, selected;
  if (file.empty() || !in || !std::getline(in, first) || !std::getline(in, selected)) return false;
  const std::string token = first.substr(0, first.find(' '));
  if (token == area.lastHandoff) return false;
  area.lastHandoff = token;
  const std::string afterText = first.substr(first.rfind(' ') + 1);
  if (afterText.empty() || afterText.find_first_not_of("0123456789") != std::string::npos ||
      afterText.size() > 9)
    return false;
  const auto after = static_cast<long>(std::stol(afterText));
  const std::u32string buffer = utf8::decode(line.text), highlighted = utf8::decode(selected);
  const auto n = static_cast<long>(buffer.size()), length = static_cast<long>(highlighted.size());
  if (length == 0 || length > n) return false;
  const long want = n - after - length;
  std::optional<long> best;
  for (long at = 0; at + length <= n; ++at)
    if (buffer.compare(static_cast<std::size_t>(at), highlighted.size(), highlighted) == 0 &&
        (!best || std::labs(at - want) < std::labs(*best - want)))
      best = at;
  if (!best) return false;
  std::u32string kept = buffer;
  kept.erase(static_cast<std::size_t>(*best), highlighted.size());
  line.text = utf8::encode(kept);
  line.cursor = utf8::encode(kept.substr(0, static_cast<std::size_t>(*best))).size();
  line.mark.reset();
  return true;
}

bool isPlainText(const std::string& text) {
  return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

}  // namespace

std::size_t SimLineEditor::lineStart(const SimTextArea& area) {
  const auto newline = area.text.rfind('\n');
  const std::size_t last = newline == std::string::npos ? 0 : newline + 1;
  const auto prompt = area.text.find("% ", last);
  return prompt == std::string::npos ? last : prompt + 2;
}

bool SimLineEditor::handle(SimTextArea& area, const platform::InputEvent& event,
                           platform::Pasteboard& pasteboard, const std::string& handoffFile) {
  if (event.type != platform::EventType::keyDown) return false;
  const std::uint64_t mods = event.flags & Flag::kModifiers;
  // Chords the terminal keeps for itself (its menus) never reach the shell.
  if (mods & (Flag::kCommand | Flag::kOption)) return false;

  const std::size_t start = lineStart(area);
  Line line{area.text.substr(start)};
  const std::size_t cursor = area.cursor.value_or(area.text.size());
  line.cursor = cursor >= start && cursor <= area.text.size() ? cursor - start : line.text.size();
  if (area.mark && *area.mark >= start && *area.mark <= area.text.size()) line.mark = *area.mark - start;
  const SimTextArea::LineState before{line.text, line.cursor};

  // A move that selects starts a region where none is active; any other move drops it.
  auto move = [&](std::size_t to, bool select) {
    if (select && !line.mark) line.mark = line.cursor;
    if (!select) line.mark.reset();
    line.cursor = to;
  };
  bool edits = false;  // the line's text changes: the change can be undone
  bool handled = true;
  const std::int64_t key = event.keyCode;
  if (mods == Flag::kControl) {
    if (key == kA) {
      move(0, false);
    } else if (key == kE) {
      move(line.text.size(), false);
    } else if (key == kU) {
      line.erase(0, line.cursor);
      edits = true;
    } else if (key == kK) {
      line.erase(line.cursor, line.text.size());
      edits = true;
    } else {
      handled = false;
    }
  } else if (mods == (Flag::kControl | Flag::kShift) && key == kMinus) {
    if (area.undo.empty()) return false;
    area.redo.push_back(before);
    line = {area.undo.back().line, area.undo.back().cursor, std::nullopt};
    area.undo.pop_back();
  } else if (mods == Flag::kShift && (key == kLeft || key == kRight)) {
    move(key == kLeft ? line.charLeft(line.cursor) : line.charRight(line.cursor), true);
  } else if (mods == 0 && key == kF17) {
    if (area.redo.empty()) return false;
    area.undo.push_back(before);
    line = {area.redo.back().line, area.redo.back().cursor, std::nullopt};
    area.redo.pop_back();
  } else if (mods == 0 && key == kReturn) {
    area.text += "\n" + std::string(kPrompt);
    area.cursor.reset();
    area.mark.reset();
    area.undo.clear();
    area.redo.clear();
    return true;
  } else if (mods == 0 && key == kLeft) {
    move(line.charLeft(line.cursor), false);
  } else if (mods == 0 && key == kRight) {
    move(line.charRight(line.cursor), false);
  } else if (mods == 0 && key == kF13) {
    move(line.wordLeft(line.cursor), true);
  } else if (mods == 0 && key == kF14) {
    move(line.wordRight(line.cursor), true);
  } else if (mods == 0 && key == kF18) {
    move(0, true);
  } else if (mods == 0 && key == kF19) {
    move(line.text.size(), true);
  } else if (mods == 0 && key == kF15) {
    if (!replaceHandedOff(line, area, handoffFile)) return false;
    edits = true;
  } else if (mods == 0 && key == kF16) {
    // Cut: the region, or the whole line when none is active.
    if (line.mark && *line.mark != line.cursor) {
      const std::size_t from = std::min(*line.mark, line.cursor), to = std::max(*line.mark, line.cursor);
      pasteboard.setString(line.text.substr(from, to - from));
      line.killRegion();
    } else if (!line.text.empty()) {
      pasteboard.setString(line.text);
      line.erase(0, line.text.size());
    }
    edits = true;
  } else if (mods == 0 && (key == kDelete || key == kForwardDelete)) {
    if (line.mark && *line.mark != line.cursor)
      line.killRegion();
    else if (key == kDelete)
      line.erase(line.charLeft(line.cursor), line.cursor);
    else
      line.erase(line.cursor, line.charRight(line.cursor));
    edits = true;
  } else if ((mods & ~Flag::kShift) == 0 && isPlainText(event.text)) {
    // Typing over an active region replaces it.
    if (line.mark && *line.mark != line.cursor) line.killRegion();
    line.mark.reset();
    line.text.insert(line.cursor, event.text);
    line.cursor += event.text.size();
    edits = true;
  } else {
    handled = false;
  }
  if (!handled) return false;
  if (edits && line.text != before.line) {
    area.undo.push_back(before);
    area.redo.clear();
  }
  area.text = area.text.substr(0, start) + line.text;
  area.cursor = start + line.cursor;
  area.mark = line.mark ? std::optional<std::size_t>(start + *line.mark) : std::nullopt;
  return true;
}

}  // namespace velvix::sim
