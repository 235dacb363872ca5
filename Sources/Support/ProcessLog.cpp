#include "Support/ProcessLog.hpp"

#include <cstdio>
#include <string>

namespace velvix {

void processLog(std::string_view message) {
  std::string line = "velvix: ";
  line.append(message);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace velvix
