#pragma once
// Closes the entry the user asked to close from inside a chord: a window, the front window of an
// application (never the application itself), or a tab — through the browser's extension for
// Chromium-family tabs, through Apple Events for everything else. Fire and forget. Main thread.

#include "Core/SwitchableItem.hpp"

namespace velvix {

struct Services;

class Closer {
 public:
  explicit Closer(Services& services) : services_(services) {}
  void close(const SwitchableItem& item);

 private:
  Services& services_;
};

}  // namespace velvix
