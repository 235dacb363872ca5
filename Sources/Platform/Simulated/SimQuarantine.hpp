#pragma once
// Used by the tests only: the program clears real quarantine marks on its files; the tests' world
// uses this so a test can mark files and see which marks were removed.
// Quarantine marks of the simulated desktop: tests mark files as downloaded and see which marks
// the system removed.

#include <set>

#include "Platform/Quarantine.hpp"

namespace velvix::sim {

class SimQuarantine final : public platform::Quarantine {
 public:
  void mark(const std::filesystem::path& file) { marked_.insert(file.lexically_normal()); }
  bool isMarked(const std::filesystem::path& file) const { return marked_.contains(file.lexically_normal()); }
  void remove(const std::filesystem::path& file) override { marked_.erase(file.lexically_normal()); }

 private:
  std::set<std::filesystem::path> marked_;
};

}  // namespace velvix::sim
