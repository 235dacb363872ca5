#pragma once
// Safari's extension settings on the simulated desktop: each request to open them is recorded.

#include <string>
#include <vector>

#include "Platform/SafariExtensions.hpp"

namespace velvix::sim {

class SimSafariExtensions final : public platform::SafariExtensions {
 public:
  void showPreferencesForExtension(const std::string& identifier) override { opened.push_back(identifier); }
  std::vector<std::string> opened;
};

}  // namespace velvix::sim
