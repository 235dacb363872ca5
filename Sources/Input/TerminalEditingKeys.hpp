#pragma once
// The terminal editing keys as far as the event tap needs them. The editing keys themselves are
// not built yet: every key passes untouched.

#include "Platform/InputEvent.hpp"

namespace velvix {

class TerminalEditingKeys {
 public:
  enum class Outcome { pass, consume };
  Outcome handle(platform::InputEvent&) { return Outcome::pass; }
};

}  // namespace velvix
