#pragma once
// The system's privacy permissions: the checks (never prompting), the prompts, and the Automation
// (Apple Events) permission query per target application. The query may take a while, since it
// can ask the target; it reports back on any thread.

#include <cstdint>
#include <functional>
#include <string>

namespace velvix::platform {

enum class ListenEventAccess { granted, denied, undetermined };

class Privacy {
 public:
  // Automation status codes the callers compare with.
  static constexpr std::int32_t kAutomationGranted = 0;
  static constexpr std::int32_t kAutomationNotRunning = -600;
  static constexpr std::int32_t kAutomationDenied = -1743;
  static constexpr std::int32_t kAutomationWouldRequireConsent = -1744;

  virtual ~Privacy() = default;

  // Accessibility: the trust check, optionally showing the system prompt.
  virtual bool accessibilityTrusted(bool prompt) = 0;
  virtual bool listenEventPreflight() const = 0;
  virtual ListenEventAccess listenEventAccess() const = 0;
  virtual void requestListenEvent() = 0;
  virtual bool screenCapturePreflight() const = 0;
  virtual void requestScreenCapture() = 0;
  // The Automation permission of this program over the application with `bundleID`. With
  // `askUser` the system shows its consent dialog when the user has not decided yet.
  virtual void queryAutomation(const std::string& bundleID, bool askUser,
                               std::function<void(std::int32_t status)> completion) = 0;
};

}  // namespace velvix::platform
