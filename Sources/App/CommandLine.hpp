#pragma once
// What the words after `velvix` ask for, and the texts it answers with. The program takes no
// options but --help and --version: anything else is a mistake worth saying so, not a silent start.

#include <string>
#include <vector>

namespace velvix {

class CommandLine {
 public:
  enum class Request { Run, Help, Version, Misuse };

  static Request parse(const std::vector<std::string>& words);
  // The usage text with the environment variables the program reads.
  static std::string usage();
  // Said on standard error when there is no display to open a window on.
  static std::string runningWithoutWindow(long pid);
  // The one line said when the display named in the environment cannot be opened.
  static std::string displayUnreachable(const std::string& display);
};

}  // namespace velvix
