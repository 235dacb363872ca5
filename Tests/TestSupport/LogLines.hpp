#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace velvix::test {

// The messages of a log file, each line without its leading time stamp.
std::vector<std::string> logMessages(const std::filesystem::path& file);

}  // namespace velvix::test
