#pragma once
// User defaults persisted as one JSON file (mode 0600), rewritten atomically after every change.
// A file that cannot be parsed is moved aside, never overwritten, so nothing the user had is lost.

#include <filesystem>

#include "Platform/Simulated/MemoryDefaults.hpp"

namespace velvix::platform {

class JsonFileDefaults final : public sim::MemoryDefaults {
 public:
  // `onProblem` receives one line for each file problem (unreadable file, failed write).
  JsonFileDefaults(std::filesystem::path file, std::function<void(const std::string&)> onProblem = {});

  const std::filesystem::path& file() const { return file_; }

 protected:
  void userValuesChanged(const std::map<std::string, Value>& values) override;

 private:
  static Value load(const std::filesystem::path& file, const std::function<void(const std::string&)>& onProblem);

  std::filesystem::path file_;
  std::function<void(const std::string&)> onProblem_;
};

}  // namespace velvix::platform
