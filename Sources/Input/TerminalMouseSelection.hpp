#pragma once
// What the event tap records of mouse presses for the terminals' mouse-selection replacement, and
// the hand-off file it leaves in the support folder.

#include <filesystem>
#include <optional>

#include "Platform/Geometry.hpp"

namespace velvix {

class TerminalMouseSelection {
 public:
  static constexpr const char* kHandoffFile = "mouse-selection";

  explicit TerminalMouseSelection(std::filesystem::path supportFolder) : handoff_(supportFolder / kHandoffFile) {}

  std::optional<Point> pressLocation;  // top-left screen coordinates
  bool armed = false;

  // Deletes the hand-off file; errors are ignored.
  void discardHandoff() const {
    std::error_code ignored;
    std::filesystem::remove(handoff_, ignored);
  }

 private:
  std::filesystem::path handoff_;
};

}  // namespace velvix
