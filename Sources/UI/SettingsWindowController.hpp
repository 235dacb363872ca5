#pragma once
// The settings window, as far as the switcher core opens it: made on first use as one of the
// application's own windows, brought to the front with the application activated. Its panes come
// with the settings window itself.

#include <memory>

#include "UI/AppWindow.hpp"

namespace velvix {

class SettingsWindowController {
 public:
  explicit SettingsWindowController(Services& services) : services_(services) {}
  void show();
  AppWindow* window() { return window_ && window_->isOpen() ? window_.get() : nullptr; }

 private:
  Services& services_;
  std::unique_ptr<AppWindow> window_;
};

}  // namespace velvix
