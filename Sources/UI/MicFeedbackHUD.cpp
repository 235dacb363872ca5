#include "UI/MicFeedbackHUD.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include "Platform/DesktopPicture.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "UI/FrostBackdrop.hpp"
#include "UI/PanelWindow.hpp"

namespace velvix {

namespace {

constexpr double kFrameInterval = 1.0 / 60;
constexpr double kBounceLength = 1.2;  // the spring has settled well before this
const QColor kSystemRed(255, 69, 58);  // of the dark appearance
const QColor kPrimary(255, 255, 255, 235);

// What the view shows: the state and the bounce, which each show restarts.
struct MicFeedbackModel {
  bool muted = false;
  int pulse = 0;
  double scale = 1.0;
};

// The microphone symbol (filled), with a slash through it when muted, in a 72-point square.
void drawMicrophone(QPainter& p, const QRectF& box, bool muted, const QColor& colour) {
  const double u = box.width() / 72.0;
  const QPointF c = box.center();
  QPainterPath body;
  body.addRoundedRect(QRectF(c.x() - 11 * u, box.top() + 8 * u, 22 * u, 36 * u), 11 * u, 11 * u);
  QPainterPath cradle;
  cradle.arcMoveTo(QRectF(c.x() - 18 * u, box.top() + 14 * u, 36 * u, 38 * u), 180);
  cradle.arcTo(QRectF(c.x() - 18 * u, box.top() + 14 * u, 36 * u, 38 * u), 180, 180);
  cradle.moveTo(c.x(), box.top() + 52 * u);
  cradle.lineTo(c.x(), box.top() + 61 * u);
  cradle.moveTo(c.x() - 10 * u, box.top() + 62 * u);
  cradle.lineTo(c.x() + 10 * u, box.top() + 62 * u);
  p.save();
  if (muted) {
    // The slash cuts a gap through the symbol, as the system's slashed symbols do.
    QPainterPath gap;
    const QLineF slash(c.x() - 22 * u, box.top() + 10 * u, c.x() + 22 * u, box.top() + 64 * u);
    QPainterPathStroker stroker;
    stroker.setWidth(12 * u);
    stroker.setCapStyle(Qt::RoundCap);
    QPainterPath line;
    line.moveTo(slash.p1());
    line.lineTo(slash.p2());
    QPainterPath keep;
    keep.addRect(box.adjusted(-box.width(), -box.height(), box.width(), box.height()));
    p.setClipPath(keep.subtracted(stroker.createStroke(line)));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPath(body);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(colour, 5 * u, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(cradle);
  p.restore();
  if (muted) {
    p.setPen(QPen(colour, 5 * u, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QLineF(c.x() - 20 * u, box.top() + 12 * u, c.x() + 20 * u, box.top() + 62 * u));
  }
}

// The symbol over the text, scaled about the square's centre by the bounce.
class MicFeedbackView final : public QWidget {
 public:
  MicFeedbackView(const MicFeedbackModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QPointF centre = QRectF(rect()).center();
    p.translate(centre);
    p.scale(model_.scale, model_.scale);
    p.translate(-centre);
    const QColor colour = model_.muted ? kSystemRed : kPrimary;
    const double top = centre.y() - (72 + 8 + 18) / 2.0;
    drawMicrophone(p, QRectF(centre.x() - 36, top, 72, 72), model_.muted, colour);
    QFont font;
    font.setPixelSize(15);
    font.setWeight(QFont::Medium);
    p.setFont(font);
    p.setPen(kPrimary);
    p.drawText(QRectF(0, top + 80, width(), 20), Qt::AlignHCenter | Qt::AlignTop,
               model_.muted ? MicFeedbackHUD::kMutedText : MicFeedbackHUD::kUnmutedText);
  }

 private:
  const MicFeedbackModel& model_;
};

}  // namespace

struct MicFeedbackHUD::Impl {
  Impl(platform::MainLoop& loop, const platform::Screens& screens,
       const platform::AccessibilityDisplay& accessibilityDisplay,
       const platform::DesktopPicture* desktopPicture, platform::ScreenPlacement* const& screenPlacement)
      : loop(loop),
        screens(screens),
        accessibilityDisplay(accessibilityDisplay),
        desktopPicture(desktopPicture),
        screenPlacement(screenPlacement) {}
  void ensurePanel();
  void setAlpha(double value);
  void fade(double target, double duration, std::function<void()> done);
  void bounce();

  platform::MainLoop& loop;
  const platform::Screens& screens;
  const platform::AccessibilityDisplay& accessibilityDisplay;
  const platform::DesktopPicture* desktopPicture;
  platform::ScreenPlacement* const& screenPlacement;
  std::unique_ptr<PanelWindow> panel;
  FrostBackdropView* frostView = nullptr;
  FrostBackdropView::Fade* frostFade = nullptr;
  std::string frostFadeKey;
  MicFeedbackView* hostingView = nullptr;
  MicFeedbackModel model;
  std::optional<bool> shown;
  std::optional<Rect> frame;
  double alpha = 0;
  bool visible = false;
  std::uint64_t showGeneration = 0;
  platform::Timer hideWork;
  platform::Timer fadeTimer;
  platform::Timer bounceTimer;
};

void MicFeedbackHUD::Impl::ensurePanel() {
  if (panel) return;
  auto content =
      std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                             Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
  content->setObjectName(kPanelName);
  content->setAttribute(Qt::WA_TranslucentBackground);
  content->setAttribute(Qt::WA_ShowWithoutActivating);
  content->resize(static_cast<int>(kSide), static_cast<int>(kSide));
  QWidget* root = content.get();
  panel =
      std::make_unique<PanelWindow>(std::move(content), screenPlacement, qt::SimScreenLayer::kFloatingLevel);
  const auto made = FrostBackdrop::make(accessibilityDisplay, root);
  frostView = made.view;
  frostFade = made.fade;
  hostingView = new MicFeedbackView(model, root);
  frostView->show();
  hostingView->show();
}

void MicFeedbackHUD::Impl::setAlpha(double value) {
  alpha = value;
  // Offscreen there is no window to fade (and the platform says so on every call).
  if (panel && QGuiApplication::platformName() != "offscreen") panel->window().setWindowOpacity(value);
}

void MicFeedbackHUD::Impl::fade(double target, double duration, std::function<void()> done) {
  fadeTimer.invalidate();
  const double from = alpha, start = loop.uptime();
  if (duration <= 0) {
    setAlpha(target);
    if (done) done();
    return;
  }
  fadeTimer = loop.every(kFrameInterval, [this, from, target, start, duration, done] {
    const double t = std::clamp((loop.uptime() - start) / duration, 0.0, 1.0);
    setAlpha(from + (target - from) * t);
    if (t < 1) return;
    fadeTimer.invalidate();
    if (done) done();
  });
}

void MicFeedbackHUD::Impl::bounce() {
  const double start = loop.uptime();
  model.scale = kBounceFrom;
  hostingView->update();
  bounceTimer = loop.every(kFrameInterval, [this, start] {
    const double t = loop.uptime() - start;
    model.scale = t >= kBounceLength ? 1.0 : bounceScale(t);
    hostingView->update();
    if (t >= kBounceLength) bounceTimer.invalidate();
  });
}

MicFeedbackHUD::MicFeedbackHUD(platform::MainLoop& loop, const platform::Screens& screens,
                               const platform::AccessibilityDisplay& accessibilityDisplay,
                               const platform::DesktopPicture* desktopPicture,
                               platform::ScreenPlacement* const& screenPlacement)
    : impl_(std::make_unique<Impl>(loop, screens, accessibilityDisplay, desktopPicture, screenPlacement)) {}

MicFeedbackHUD::~MicFeedbackHUD() = default;

double MicFeedbackHUD::bounceScale(double t) {
  // An under-damped spring released at kBounceFrom towards 1.0.
  const double omega = 2 * M_PI / kSpringResponse, zeta = kSpringDamping;
  const double damped = omega * std::sqrt(1 - zeta * zeta);
  const double envelope = std::exp(-zeta * omega * t);
  return 1.0 - (1.0 - kBounceFrom) * envelope *
                   (std::cos(damped * t) + zeta * omega / damped * std::sin(damped * t));
}

std::optional<Rect> MicFeedbackHUD::placement(const std::vector<platform::ScreenInfo>& screens,
                                              Point pointer) {
  if (screens.empty()) return std::nullopt;
  const platform::ScreenInfo* chosen = &screens.front();
  for (const auto& screen : screens)
    if (screen.frame.contains(pointer)) {
      chosen = &screen;
      break;
    }
  return Rect{chosen->frame.midX() - kSide / 2, chosen->frame.midY() - kSide / 2, kSide, kSide};
}

void MicFeedbackHUD::show(bool muted) {
  Impl& d = *impl_;
  d.model.muted = muted;
  d.shown = muted;
  const std::uint64_t generation = ++d.showGeneration;
  d.ensurePanel();
  if (auto f = placement(d.screens.screens(), d.screens.pointerLocation())) {
    d.frame = f;
    d.panel->place(*f);
    const QRect all(0, 0, static_cast<int>(kSide), static_cast<int>(kSide));
    d.frostView->setGeometry(all);
    d.frostView->setCornerRadius(kCornerRadius);
    if (d.desktopPicture) {
      auto picture = d.desktopPicture->beneath(*f, 1.0);
      d.frostView->setBackdrop(picture ? qt::toQImage(*picture) : QImage());
    }
    d.hostingView->setGeometry(all);
    FrostBackdrop::resize(*d.frostFade, kSide, kSide, kCornerRadius, d.frostFadeKey);
  }
  FrostBackdrop::tune(d.frostView);
  d.panel->show();
  d.visible = true;
  ++d.model.pulse;
  d.bounce();
  d.fade(1.0, 0, nullptr);
  d.hideWork = d.loop.after(kHideDelay, [&d, generation] {
    d.fade(0.0, kFadeDuration, [&d, generation] {
      // A newer show keeps its square.
      if (d.showGeneration != generation) return;
      d.panel->hide();
      d.visible = false;
    });
  });
}

std::optional<bool> MicFeedbackHUD::lastShown() const {
  return impl_->shown;
}
bool MicFeedbackHUD::isVisible() const {
  return impl_->visible;
}
double MicFeedbackHUD::alpha() const {
  return impl_->alpha;
}
double MicFeedbackHUD::scale() const {
  return impl_->model.scale;
}
std::optional<Rect> MicFeedbackHUD::frame() const {
  return impl_->frame;
}
std::uint64_t MicFeedbackHUD::showGeneration() const {
  return impl_->showGeneration;
}

std::optional<RGBAImage> MicFeedbackHUD::snapshot(double pixelsPerPoint) const {
  const Impl& d = *impl_;
  if (!d.panel) return std::nullopt;
  const int side = static_cast<int>(std::lround(kSide * pixelsPerPoint));
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setOpacity(d.alpha);
    d.panel->render(p, QRectF(0, 0, side, side));
  }
  return qt::fromQImage(image);
}

}  // namespace velvix
