#pragma once
// The accessibility display options of the simulated desktop: both off until a test or the sample
// desktop switches them on.

#include "Platform/AccessibilityDisplay.hpp"

namespace velvix::sim {

class SimAccessibilityDisplay final : public platform::AccessibilityDisplay {
 public:
  bool reduceTransparency() const override { return reduceTransparency_; }
  bool reduceMotion() const override { return reduceMotion_; }

  void setReduceTransparency(bool on) { reduceTransparency_ = on; }
  void setReduceMotion(bool on) { reduceMotion_ = on; }

 private:
  bool reduceTransparency_ = false;
  bool reduceMotion_ = false;
};

}  // namespace velvix::sim
