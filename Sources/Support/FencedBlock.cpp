#include "Support/FencedBlock.hpp"

namespace velvix {
namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

bool isBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\f\v") == std::string_view::npos;
}

}  // namespace

bool FencedBlock::isMarkerLine(std::string_view line, std::string_view marker, Match match) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (match == Match::ignoringBlanks) {
    const std::size_t from = line.find_first_not_of(" \t");
    if (from == std::string_view::npos) return marker.empty();
    line = line.substr(from, line.find_last_not_of(" \t\r") + 1 - from);
  }
  return line == marker;
}

std::vector<FencedBlock::Found> FencedBlock::findAll(std::string_view text) const {
  const auto lines = splitLines(text);
  auto at = [&](State state, std::size_t i, std::size_t j) {
    const auto begin = static_cast<std::size_t>(lines[i].data() - text.data());
    const auto end = static_cast<std::size_t>(lines[j].data() - text.data()) + lines[j].size();
    return Found{state, i, j, begin, end};
  };
  std::vector<Found> blocks;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (isMarkerLine(lines[i], closing_, match_)) {
      blocks.push_back(at(State::damaged, i, i));
      return blocks;
    }
    if (!isMarkerLine(lines[i], opening_, match_)) continue;
    std::size_t j = i + 1;
    while (j < lines.size() && !isMarkerLine(lines[j], closing_, match_)) ++j;
    if (j == lines.size()) {
      blocks.push_back(at(State::damaged, i, i));
      return blocks;
    }
    blocks.push_back(at(State::complete, i, j));
    i = j;
  }
  return blocks;
}

FencedBlock::Found FencedBlock::find(std::string_view text) const {
  const auto blocks = findAll(text);
  if (blocks.empty()) return {};
  return blocks.back().state == State::damaged ? blocks.back() : blocks.front();
}

std::string FencedBlock::removing(std::string_view text, std::size_t keep) const {
  const auto blocks = findAll(text);
  if (blocks.empty() || blocks.back().state == State::damaged) return std::string(text);
  const auto lines = splitLines(text);
  std::vector<bool> dropped(lines.size(), false);
  for (std::size_t b = keep; b < blocks.size(); ++b) {
    const std::size_t first = blocks[b].first;
    const bool blankBefore = first > 0 && isBlank(lines[first - 1]) && !dropped[first - 1];
    for (std::size_t i = blankBefore ? first - 1 : first; i <= blocks[b].last; ++i) dropped[i] = true;
  }
  std::string result;
  bool firstLine = true;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (dropped[i]) continue;
    if (!firstLine) result += '\n';
    result += lines[i];
    firstLine = false;
  }
  return result;
}

}  // namespace velvix
