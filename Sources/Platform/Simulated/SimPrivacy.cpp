#include "Platform/Simulated/SimPrivacy.hpp"

#include "Platform/Simulated/SimDesktop.hpp"

namespace velvix::sim {

using platform::ListenEventAccess;

bool SimPrivacy::accessibilityTrusted(bool prompt) {
  if (prompt && !desktop_.accessibilityTrusted) desktop_.privacy.prompts.push_back("accessibility");
  return desktop_.accessibilityTrusted;
}

bool SimPrivacy::listenEventPreflight() const {
  return desktop_.privacy.listenEvent == ListenEventAccess::granted;
}

ListenEventAccess SimPrivacy::listenEventAccess() const {
  return desktop_.privacy.listenEvent;
}

void SimPrivacy::requestListenEvent() {
  desktop_.privacy.prompts.push_back("listenEvent");
  // The system asks once; after the prompt the user's answer is on record (here: not yet given).
  if (desktop_.privacy.listenEvent == ListenEventAccess::undetermined)
    desktop_.privacy.listenEvent = ListenEventAccess::denied;
}

bool SimPrivacy::screenCapturePreflight() const {
  return desktop_.privacy.screenCapture;
}

void SimPrivacy::requestScreenCapture() {
  desktop_.privacy.prompts.push_back("screenCapture");
}

void SimPrivacy::queryAutomation(const std::string& bundleID, bool askUser,
                                 std::function<void(std::int32_t)> completion) {
  SimPrivacyState& state = desktop_.privacy;
  ++state.automationQueries;
  bool running = false;
  for (const SimApp* app : desktop_.apps())
    if (app->bundleID == bundleID) running = true;
  std::int32_t status = platform::Privacy::kAutomationNotRunning;
  if (running) {
    auto it = state.automation.find(bundleID);
    status = it != state.automation.end() ? it->second : platform::Privacy::kAutomationWouldRequireConsent;
    if (askUser && it == state.automation.end()) state.prompts.push_back("automation:" + bundleID);
  }
  desktop_.loop().postAfter(state.automationLatency,
                            [completion = std::move(completion), status] { completion(status); });
}

}  // namespace velvix::sim
