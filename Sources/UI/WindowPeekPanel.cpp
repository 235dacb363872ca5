#include "UI/WindowPeekPanel.hpp"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include "Platform/MainLoop.hpp"
#include "Platform/Qt/QtGeometry.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/ScreenPlacement.hpp"
#include "UI/HUDMetrics.hpp"
#include "UI/PanelWindow.hpp"

namespace velvix {

namespace {

constexpr double kFrameInterval = 1.0 / 60;

// The panel's content: the picture stretched to fill it on both axes, in rounded corners with a
// faint white border, at the panel's alpha.
class PeekView final : public QWidget {
 public:
  PeekView()
      : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput) {
    setObjectName(WindowPeekPanel::kPanelName);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(400, 300);
  }
  void setImage(QImage image) {
    image_ = std::move(image);
    update();
  }
  // The alpha is applied once, where the content is painted (not also as the window's opacity,
  // which would multiply with it and darken every fade).
  void setAlpha(double alpha) {
    alpha_ = alpha;
    update();
  }
  double alpha() const { return alpha_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    p.setOpacity(alpha_);
    const QRectF all(rect());
    QPainterPath shape;
    shape.addRoundedRect(all, WindowPeekPanel::kCornerRadius, WindowPeekPanel::kCornerRadius);
    p.save();
    p.setClipPath(shape);
    if (!image_.isNull()) p.drawImage(all, image_);
    p.restore();
    const QRectF line = all.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath border;
    border.addRoundedRect(line, WindowPeekPanel::kCornerRadius - 0.5, WindowPeekPanel::kCornerRadius - 0.5);
    p.strokePath(border,
                 QPen(QColor::fromRgbF(1, 1, 1, static_cast<float>(WindowPeekPanel::kBorderOpacity)), 1));
  }

 private:
  QImage image_;
  double alpha_ = 0;
};

}  // namespace

struct WindowPeekPanel::Impl {
  Impl(platform::MainLoop& loop, const platform::Screens& screens,
       platform::ScreenPlacement* const& screenPlacement)
      : loop(loop), screens(screens), screenPlacement(screenPlacement) {}

  // Moves the alpha to `target` over `duration` seconds on the main loop, replacing any fade
  // under way; `done` runs when it arrives.
  void fade(double target, double duration, std::function<void()> done);

  platform::MainLoop& loop;
  const platform::Screens& screens;
  platform::ScreenPlacement* const& screenPlacement;
  // The picture's view, inside its window on the display; both made on the first show.
  PeekView* panel = nullptr;
  std::unique_ptr<PanelWindow> window;
  std::optional<Rect> frame;  // on the simulated screen
  std::optional<RGBAImage> image;
  std::uint64_t hideGeneration = 0;
  platform::Timer fadeTimer;
};

void WindowPeekPanel::Impl::fade(double target, double duration, std::function<void()> done) {
  fadeTimer.invalidate();
  PeekView* view = panel;
  const double from = view->alpha();
  if (duration <= 0) {
    view->setAlpha(target);
    if (done) done();
    return;
  }
  const double start = loop.uptime();
  fadeTimer = loop.every(kFrameInterval, [this, view, from, target, start, duration, done] {
    const double t = std::clamp((loop.uptime() - start) / duration, 0.0, 1.0);
    view->setAlpha(from + (target - from) * t);
    if (t < 1) return;
    fadeTimer.invalidate();
    if (done) done();
  });
}

WindowPeekPanel::WindowPeekPanel(platform::MainLoop& loop, const platform::Screens& screens,
                                 platform::ScreenPlacement* const& screenPlacement)
    : impl_(std::make_unique<Impl>(loop, screens, screenPlacement)) {}

WindowPeekPanel::~WindowPeekPanel() = default;

std::optional<Rect> WindowPeekPanel::windowFrame(const Rect& bounds,
                                                 const std::vector<platform::ScreenInfo>& screens) {
  // Window-server and screen coordinates share the top-left origin here, so the place is the
  // window's own bounds.
  if (bounds.width > 1 && bounds.height > 1 && !screens.empty()) return bounds;
  return std::nullopt;
}

Rect WindowPeekPanel::centredFrame(Size image, const std::optional<platform::ScreenInfo>& screen,
                                   const std::vector<platform::ScreenInfo>& screens) {
  Rect area;
  if (screen) {
    area = screen->visibleFrame;
  } else if (!screens.empty()) {
    area = screens.front().visibleFrame;
  }
  const double aspect = image.width / std::max(image.height, 1.0);
  const double byWidthW = kAreaFraction * area.width, byWidthH = byWidthW / std::max(aspect, 0.01);
  const double byHeightH = kAreaFraction * area.height, byHeightW = byHeightH * aspect;
  const bool heightLimited = byHeightH < byWidthH;
  const double width = heightLimited ? byHeightW : byWidthW;
  const double height = heightLimited ? byHeightH : byWidthH;
  return {area.midX() - width / 2, area.midY() - height / 2, HUDMetrics::round(width),
          HUDMetrics::round(height)};
}

void WindowPeekPanel::show(const RGBAImage& image, const Rect& windowBounds,
                           std::optional<platform::ScreenInfo> screen) {
  Impl& d = *impl_;
  if (!d.window) {
    auto view = std::make_unique<PeekView>();
    d.panel = view.get();
    d.window =
        std::make_unique<PanelWindow>(std::move(view), d.screenPlacement, qt::SimScreenLayer::kFloatingLevel);
  }
  d.panel->setImage(qt::toQImage(image));
  d.image = image;
  const auto screens = d.screens.screens();
  const Rect f = windowFrame(windowBounds, screens)
                     .value_or(centredFrame({image.pointWidth(), image.pointHeight()}, screen, screens));
  ++d.hideGeneration;
  const bool wasVisible = d.window->isVisible();
  d.frame = f;
  d.window->place(f);
  if (wasVisible) {
    d.fade(1, 0, {});  // a fade-out under way is overridden at once
    return;
  }
  d.panel->setAlpha(0);
  d.window->show();
  d.fade(1, kFadeDuration, {});
}

void WindowPeekPanel::hide() {
  Impl& d = *impl_;
  if (!d.window || !d.window->isVisible()) return;
  const std::uint64_t generation = d.hideGeneration;
  d.fade(0, kFadeDuration, [&d, generation] {
    // A show since the fade began keeps the panel.
    if (d.hideGeneration == generation && d.window) d.window->hide();
  });
}

void WindowPeekPanel::hideImmediately() {
  Impl& d = *impl_;
  if (!d.window || !d.window->isVisible()) return;
  d.fade(0, 0, {});
  d.window->hide();
}

void WindowPeekPanel::setImage(const RGBAImage& image) {
  Impl& d = *impl_;
  if (!d.panel) return;
  d.panel->setImage(qt::toQImage(image));
  d.image = image;
}

const std::optional<RGBAImage>& WindowPeekPanel::image() const {
  return impl_->image;
}

bool WindowPeekPanel::isVisible() const {
  return impl_->window && impl_->window->isVisible();
}

double WindowPeekPanel::alpha() const {
  return impl_->panel ? impl_->panel->alpha() : 0;
}

std::optional<Rect> WindowPeekPanel::frame() const {
  return impl_->frame;
}

std::uint64_t WindowPeekPanel::hideGeneration() const {
  return impl_->hideGeneration;
}

}  // namespace velvix
