#include "UI/SettingsWindowController.hpp"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWidget>

#include "Core/Services.hpp"
#include "Platform/Application.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/ScreenPlacement.hpp"
#include "Platform/Screens.hpp"
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
  std::unique_ptr<HostWindow> host;
  SettingsView* view = nullptr;
  platform::Timer followTimer;
};

SettingsWindowController::SettingsWindowController(Services& services) : services_(services) {}

SettingsWindowController::~SettingsWindowController() = default;

AppWindow* SettingsWindowController::window() {
  return window_ && window_->desktopWindow->isOpen() ? window_->desktopWindow.get() : nullptr;
}

SettingsView* SettingsWindowController::view() { return window_ ? window_->view : nullptr; }

bool SettingsWindowController::isShownOnDisplay() const { return window_ && window_->host->isVisible(); }

void SettingsWindowController::show() {
  if (window_ && !window_->desktopWindow->isOpen()) windowWillClose();
  if (!window_) {
    // Centred on the main screen.
    Rect frame{0, 0, kWidth, kHeight};
    const auto screens = services_.screens ? services_.screens->screens() : std::vector<platform::ScreenInfo>{};
    if (!screens.empty()) {
      const Rect& visible = screens.front().visibleFrame;
      frame.x = visible.midX() - kWidth / 2;
      frame.y = visible.midY() - kHeight / 2;
    }
    window_ = std::make_unique<Window>();
    window_->desktopWindow = std::make_unique<AppWindow>(services_, kTitle, frame);
    window_->host = std::make_unique<HostWindow>();
    HostWindow& host = *window_->host;
    host.setObjectName("settings.window");
    host.setWindowTitle(kTitle);
    WindowGlassBackdrop::applyDarkGlass(&host);
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    window_->view = new SettingsView(services_, &host);
    layout->addWidget(window_->view);
    host.setMinimumSize(SettingsView::kMinimumWidth, SettingsView::kMinimumHeight);
    host.resize(static_cast<int>(kWidth), static_cast<int>(kHeight));
    // Where the desktop window's centre appears on the display, at the window's own size.
    const Point centre = services_.placement ? services_.placement->toDisplay({frame.midX(), frame.midY()})
                                             : Point{frame.midX(), frame.midY()};
    host.move(static_cast<int>(centre.x - kWidth / 2), static_cast<int>(centre.y - kHeight / 2));
    host.willClose = [this] { windowWillClose(); };
    if (services_.loop)
      window_->followTimer = services_.loop->every(kFollowInterval, [this] { follow(); }, platform::TimerMode::Common);
  }
  services_.application->activate(true);
  window_->desktopWindow->makeKeyAndOrderFront();
  window_->host->show();
  window_->host->raise();
  window_->host->activateWindow();
}

void SettingsWindowController::windowWillClose() {
  if (!window_) return;
  std::shared_ptr<Window> closing(window_.release());
  closing->followTimer.invalidate();
  closing->host->willClose = nullptr;
  closing->host->hide();
  if (closing->desktopWindow->isOpen()) closing->desktopWindow->close();
  // The view may be inside one of its own handlers (the title bar's close, a key): it goes once
  // that has returned.
  if (services_.loop)
    services_.loop->post([closing] {});
}

// The desktop window is the truth: closed there, the window closes; minimised, it hides.
void SettingsWindowController::follow() {
  if (!window_) return;
  const std::int64_t number = window_->desktopWindow->number();
  std::optional<platform::Application::OwnWindow> own;
  for (const auto& w : services_.application->windows())
    if (w.number == number) own = w;
  if (!own || !window_->desktopWindow->isOpen()) return windowWillClose();
  if (own->miniaturized && window_->host->isVisible()) window_->host->hide();
  if (!own->miniaturized && !window_->host->isVisible()) window_->host->show();
}

}  // namespace velvix
