#include "Support/FencedBlock.hpp"

#include <vector>

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

FencedBlock::Found FencedBlock::find(std::string_view text) const {
  const auto lines = splitLines(text);
  auto at = [&](State state, std::size_t i, std::size_t j) {
    const auto begin = static_cast<std::size_t>(lines[i].data() - text.data());
    const auto end = static_cast<std::size_t>(lines[j].data() - text.data()) + lines[j].size();
    return Found{state, i, j, begin, end};
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (isMarkerLine(lines[i], closing_, match_)) return at(State::damaged, i, i);
    if (!isMarkerLine(lines[i], opening_, match_)) continue;
    for (std::size_t j = i + 1; j < lines.size(); ++j)
      if (isMarkerLine(lines[j], closing_, match_)) return at(State::complete, i, j);
    return at(State::damaged, i, i);
  }
  return {};
}

std::string FencedBlock::removing(std::string_view text, const Found& found) const {
  if (found.state != State::complete) return std::string(text);
  const auto lines = splitLines(text);
  const std::size_t from = found.first > 0 && isBlank(lines[found.first - 1]) ? found.first - 1 : found.first;
  std::string result;
  bool firstLine = true;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i >= from && i <= found.last) continue;
    if (!firstLine) result += '\n';
    result += lines[i];
    firstLine = false;
  }
  return result;
}

}  // namespace velvix
