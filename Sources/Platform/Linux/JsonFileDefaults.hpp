#pragma once
// User defaults persisted as one JSON file (mode 0600), rewritten atomically after every change.
// A file that cannot be parsed (or nests deeper than any settings need) is moved aside, never
// overwritten; one that exists but cannot be read is left alone for the whole run. Either way
// nothing the user had is lost.

#include <filesystem>

#include "Platform/Simulated/MemoryDefaults.hpp"

namespace velvix::platform {

class JsonFileDefaults final : public sim::MemoryDefaults {
 public:
  // `onProblem` receives one line for each file problem (unreadable file, failed write).
  JsonFileDefaults(std::filesystem::path file, std::function<void(const std::string&)> onProblem = {});

  const std::filesystem::path& file() const { return file_; }
  // Deeper documents are refused as damaged: copying or writing them would exhaust the stack.
  static constexpr int kMaxNestingDepth = 64;

 protected:
  void userValuesChanged(const std::map<std::string, Value>& values) override;

 private:
  struct Loaded {
    Value values;
    bool fileUnreadable = false;
  };
  JsonFileDefaults(Loaded loaded, std::filesystem::path file, std::function<void(const std::string&)> onProblem);
  static Loaded load(const std::filesystem::path& file, const std::function<void(const std::string&)>& onProblem);

  std::filesystem::path file_;
  std::function<void(const std::string&)> onProblem_;
  // The file exists but could not be read at start: changes stay in memory so it is never replaced.
  const bool fileUnreadable_;
  bool reportedUnsaved_ = false;
};

}  // namespace velvix::platform
