#pragma once
// A fresh temporary folder for one test, removed with everything in it when the test ends.

#include <filesystem>

namespace velvix::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace velvix::test
