#include "TestSupport/LogLines.hpp"

#include <fstream>

namespace velvix::test {

std::vector<std::string> logMessages(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    auto space = line.find(' ');
    lines.push_back(space == std::string::npos ? line : line.substr(space + 1));
  }
  return lines;
}

}  // namespace velvix::test
