#pragma once
// Accessibility in front of another that counts the time spent inside it, in the monotonic
// clock's nanoseconds: the simulated desktop answers each question by looking up its own model,
// which is the stand-in's cost, not Velvix's. Benchmarks put it in front of the simulated
// desktop's and subtract what it measured, as they do for the window server.

#include <cstdint>

#include "Platform/Accessibility.hpp"

namespace velvix::bench {

class TimedAccessibility final : public platform::Accessibility {
 public:
  explicit TimedAccessibility(platform::Accessibility& inner);

  // Nanoseconds spent inside the wrapped Accessibility so far.
  std::int64_t spentWall() const;

  bool isProcessTrusted() const override;
  platform::AXElement applicationElement(platform::Pid pid) override;
  platform::AXError setMessagingTimeout(platform::AXElement element, double seconds) override;
  platform::AXError copyAttribute(platform::AXElement element, const std::string& attribute,
                                  platform::AXValue& value) override;
  platform::AXError setAttribute(platform::AXElement element, const std::string& attribute,
                                 const platform::AXValue& value) override;
  platform::AXError copyParameterizedAttribute(platform::AXElement element, const std::string& attribute,
                                               const platform::AXValue& parameter,
                                               platform::AXValue& value) override;
  platform::AXError performAction(platform::AXElement element, const std::string& action) override;
  platform::AXError windowNumber(platform::AXElement element, std::int64_t& number) override;
  platform::AXError elementAtPosition(platform::AXElement application, float x, float y,
                                      platform::AXElement& element) override;

 private:
  template <typename Call>
  auto timed(Call call) const;

  platform::Accessibility& inner_;
  mutable std::int64_t spentTicks_ = 0;
};

}  // namespace velvix::bench
