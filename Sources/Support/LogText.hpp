#pragma once
// Small pieces of diagnostic-log text shared by the services that write such lines.

#include <string>
#include <vector>

namespace velvix::logtext {

// ["a", "b"]: each value in double quotes, separated by a comma and a space.
std::string quotedList(const std::vector<std::string>& values);

}  // namespace velvix::logtext
