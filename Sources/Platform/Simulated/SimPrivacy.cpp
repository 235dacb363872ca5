#include "Platform/Simulated/SimPrivacy.hpp"

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimSystemSettings.hpp"

namespace velvix::sim {

using platform::ListenEventAccess;

namespace {

// A permission's prompt leads the person to its pane ("Open System Settings"), which comes up
// once the asking application has stepped aside.
void promptLeadsToPane(SimDesktop& desktop, const char* pane) {
  desktop.loop().post([&desktop, pane] { SimSystemSettings::open(desktop, pane); });
}

}  // namespace

bool SimPrivacy::accessibilityTrusted(bool prompt) {
  if (prompt && !desktop_.accessibilityTrusted) {
    desktop_.privacy.prompts.push_back("accessibility");
    promptLeadsToPane(desktop_, "Privacy_Accessibility");
  }
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
  if (desktop_.privacy.listenEvent != ListenEventAccess::granted)
    promptLeadsToPane(desktop_, "Privacy_ListenEvent");
}

bool SimPrivacy::screenCapturePreflight() const {
  return desktop_.privacy.screenCapture;
}

void SimPrivacy::requestScreenCapture() {
  desktop_.privacy.prompts.push_back("screenCapture");
  if (!desktop_.privacy.screenCapture) promptLeadsToPane(desktop_, "Privacy_ScreenCapture");
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
