#pragma once
// How a render tool answers its command line: --help prints the usage on standard output; a
// mistake prints it on standard error with status 2. A picture path that starts with "-" is an
// option mistyped, never a file to write.

#include <iostream>
#include <string>
#include <string_view>

namespace velvix::tools {

inline bool asksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") return true;
  return false;
}

inline bool isPicturePath(const std::string& path) {
  return !path.empty() && path.front() != '-';
}

// The exit status: 0 for help, 2 for a mistake.
inline int answerUsage(const char* usage, bool help) {
  (help ? std::cout : std::cerr) << usage;
  return help ? 0 : 2;
}

}  // namespace velvix::tools
