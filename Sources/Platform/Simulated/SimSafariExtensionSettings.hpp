#pragma once
// Safari's settings window on the simulated desktop: it records which extension's page was asked
// for and answers on the loop's next turn.

#include <vector>

#include "Platform/MainLoop.hpp"
#include "Platform/SafariExtensionSettings.hpp"

namespace velvix::sim {

class SimSafariExtensionSettings final : public platform::SafariExtensionSettings {
 public:
  explicit SimSafariExtensionSettings(platform::MainLoop& loop) : loop_(loop) {}

  void showPreferencesForExtension(const std::string& identifier,
                                   std::function<void(std::optional<std::string>)> completion) override {
    shown.push_back(identifier);
    if (completion) loop_.post([completion = std::move(completion)] { completion(std::nullopt); });
  }

  std::vector<std::string> shown;

 private:
  platform::MainLoop& loop_;
};

}  // namespace velvix::sim
