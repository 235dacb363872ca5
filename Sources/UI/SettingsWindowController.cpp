#include "UI/SettingsWindowController.hpp"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWidget>

#include "Platform/Application.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Screens.hpp"
#include "UI/PanelWindow.hpp"
#include "UI/SettingsView.hpp"
#include "UI/WindowGlassBackdrop.hpp"

namespace velvix {
namespace {

// The real window: it tells the controller before it closes, and closes no further itself.
class HostWindow final : public QWidget {
 public:
  std::function<void()> willClose;

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();  // the controller hides and forgets it
    if (willClose) willClose();
  }
};

}  // namespace

struct SettingsWindowController::Window {
  std::unique_ptr<AppWindow> desktopWindow;
  std::unique_ptr<PanelWindow> panel;
  HostWindow* host = nullptr;
  SettingsView* view = nullptr;
  platform::Timer followTimer;
};

SettingsWindowController::SettingsWindowController(const Collaborators& collaborators)
    : uses_(collaborators) {}

SettingsWindowController::~SettingsWindowController() {
  if (window_) window_->desktopWindow->onClose = nullptr;  // its closing with the controller is no close
}

AppWindow* SettingsWindowController::window() {
  return window_ && window_->desktopWindow->isOpen() ? window_->desktopWindow.get() : nullptr;
}

SettingsView* SettingsWindowController::view() {
  return window_ ? window_->view : nullptr;
}

bool SettingsWindowController::isShownOnDisplay() const {
  return window_ && window_->panel->isVisible();
}

void SettingsWindowController::show() {
  if (window_ && !window_->desktopWindow->isOpen()) windowWillClose();
  if (!window_) {
    // Centred on the main screen.
    Rect frame{0, 0, kWidth, kHeight};
    const auto screens = uses_.screens.screens();
    if (!screens.empty()) {
      const Rect& visible = screens.front().visibleFrame;
      frame.x = visible.midX() - kWidth / 2;
      frame.y = visible.midY() - kHeight / 2;
    }
    window_ = std::make_unique<Window>();
    window_->desktopWindow = std::make_unique<AppWindow>(uses_.application, uses_.settings.workspace,
                                                         uses_.mru, uses_.settings.loop, kTitle, frame);
    auto made = std::make_unique<HostWindow>();
    HostWindow& host = *made;
    window_->host = made.get();
    host.setObjectName("settings.window");
    host.setWindowTitle(kTitle);
    WindowGlassBackdrop::applyDarkGlass(&host);
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    window_->view = new SettingsView(uses_.settings, &host);
    layout->addWidget(window_->view);
    host.setMinimumSize(SettingsView::kMinimumWidth, SettingsView::kMinimumHeight);
    // Where the desktop window is, at its size on the simulated screen.
    window_->panel = std::make_unique<PanelWindow>(std::move(made), uses_.screenPlacement,
                                                   qt::SimScreenLayer::kNormalLevel);
    window_->panel->place(frame);
    window_->panel->setWindowNumber(window_->desktopWindow->number());
    host.willClose = [this] { windowWillClose(); };
    // Closed on the desktop (Command-W, the switcher), it leaves the screen at once.
    window_->desktopWindow->onClose = [this] { windowWillClose(); };
    window_->followTimer = uses_.settings.loop.every(
        kFollowInterval, [this] { follow(); }, platform::TimerMode::Common);
  }
  uses_.application.activate(true);
  window_->desktopWindow->makeKeyAndOrderFront();
  window_->panel->show();
  window_->panel->window().setFocus(Qt::ActiveWindowFocusReason);
}

void SettingsWindowController::windowWillClose() {
  if (!window_) return;
  std::shared_ptr<Window> closing(window_.release());
  closing->followTimer.invalidate();
  closing->host->willClose = nullptr;
  closing->panel->hide();
  if (closing->desktopWindow->isOpen()) closing->desktopWindow->close();
  // The view may be inside one of its own handlers (the title bar's close, a key): it goes once
  // that has returned.
  uses_.settings.loop.post([closing] {});
}

// The desktop window is the truth: closed there, the window closes; minimised, it hides.
void SettingsWindowController::follow() {
  if (!window_) return;
  const std::int64_t number = window_->desktopWindow->number();
  std::optional<platform::Application::OwnWindow> own;
  for (const auto& w : uses_.application.windows())
    if (w.number == number) own = w;
  if (!own || !window_->desktopWindow->isOpen()) return windowWillClose();
  if (own->miniaturized && window_->panel->isVisible()) window_->panel->hide();
  if (!own->miniaturized && !window_->panel->isVisible()) window_->panel->show();
}

}  // namespace velvix
