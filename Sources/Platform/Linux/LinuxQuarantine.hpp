#pragma once
// Linux marks no file as downloaded: there is never a mark to remove.

#include "Platform/Quarantine.hpp"

namespace velvix::platform {

class LinuxQuarantine final : public Quarantine {
 public:
  void remove(const std::filesystem::path&) override {}
};

}  // namespace velvix::platform
