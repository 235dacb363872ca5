#include "UI/SettingsWindowController.hpp"

#include "Core/Services.hpp"
#include "Platform/Application.hpp"

namespace velvix {

void SettingsWindowController::show() {
  if (!window_ || !window_->isOpen())
    window_ = std::make_unique<AppWindow>(services_, "Velvix Settings", Rect{360, 160, 720, 560});
  services_.application->activate(true);
  window_->makeKeyAndOrderFront();
}

}  // namespace velvix
