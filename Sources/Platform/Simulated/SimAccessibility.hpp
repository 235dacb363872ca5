#pragma once
// The Accessibility facade of the simulated desktop. Elements are the desktop's applications,
// their windows and the windows' close buttons; setting "AXMinimized", "AXMain" and performing
// "AXRaise" or a close button's "AXPress" change the world. Every message costs the application's
// latency in virtual time, and an application that answers later than the element's messaging
// time-out (or not at all) costs that time-out and fails.

#include <map>
#include <unordered_map>

#include "Platform/Accessibility.hpp"

namespace velvix::sim {

class SimDesktop;
struct SimApp;
struct SimWindow;

class SimAccessibility final : public platform::Accessibility {
 public:
  // The platform's messaging time-out for elements that were given none.
  static constexpr double kDefaultMessagingTimeout = 6.0;

  explicit SimAccessibility(SimDesktop& desktop) : desktop_(desktop) {}

  bool isProcessTrusted() const override;
  platform::AXElement applicationElement(platform::Pid pid) override;
  platform::AXError setMessagingTimeout(platform::AXElement element, double seconds) override;
  platform::AXError copyAttribute(platform::AXElement element, const std::string& attribute,
                                  platform::AXValue& value) override;
  platform::AXError setAttribute(platform::AXElement element, const std::string& attribute,
                                 const platform::AXValue& value) override;
  // A terminal's text area answers "AXStringForRange".
  platform::AXError copyParameterizedAttribute(platform::AXElement element, const std::string& attribute,
                                               const platform::AXValue& parameter,
                                               platform::AXValue& value) override;
  platform::AXError performAction(platform::AXElement element, const std::string& action) override;
  platform::AXError windowNumber(platform::AXElement element, std::int64_t& number) override;
  // The Dock answers with its icons (SimDock); other applications with their front window there.
  platform::AXError elementAtPosition(platform::AXElement application, float x, float y,
                                      platform::AXElement& element) override;

  // The element of a window, as its application lists it.
  static platform::AXElement windowElement(std::int64_t number);

 private:
  enum class Kind { application, window, closeButton, dockElement, pageElement, scrollArea, textArea };
  struct Target {
    Kind kind;
    const SimApp* app = nullptr;
    std::int64_t window = 0;
    platform::AXElement element{};
    // The window (of a window, close button or text element), found once for the whole message.
    const SimWindow* windowState = nullptr;
  };
  std::optional<Target> resolve(platform::AXElement element);
  // Charges one message to the element's application; false when it did not answer in time.
  bool answers(platform::AXElement element, const SimApp& app, double extraLatency = 0);
  // The window that has the application's focus, front normal window first.
  std::optional<std::int64_t> focusedWindow(const SimApp& app) const;
  platform::AXError copyText(const Target& target, const std::string& attribute, platform::AXValue& value);
  platform::AXError copy(const Target& target, const std::string& attribute, platform::AXValue& value);
  platform::AXError set(const Target& target, const std::string& attribute, const platform::AXValue& value);
  platform::AXError perform(const Target& target, const std::string& action);

  SimDesktop& desktop_;
  std::unordered_map<std::uint64_t, double> timeouts_;  // looked up at every message
};

}  // namespace velvix::sim
