#include "UI/DockPreviewPanel.hpp"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include "Platform/AccessibilityDisplay.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Qt/QtGeometry.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/ScreenPlacement.hpp"
#include "UI/FrostedMaterial.hpp"
#include "UI/PanelWindow.hpp"
#include "UI/PreviewCard.hpp"

namespace velvix {

namespace {

constexpr double kFrameInterval = 1.0 / 60;

double easeOut(double t) {
  return 1 - (1 - t) * (1 - t);
}

// The panel's window: the HUD material in rounded corners under the cards. It never takes the
// focus, but clicks and hover reach its cards.
class PanelView final : public QWidget {
 public:
  explicit PanelView(const platform::AccessibilityDisplay& accessibilityDisplay)
      : QWidget(nullptr,
                Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
        accessibilityDisplay_(accessibilityDisplay) {
    setObjectName(DockPreviewPanel::kPanelName);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(100, 100);
  }
  void setAlpha(double alpha) {
    alpha_ = alpha;
    setWindowOpacity(alpha);
    update();
  }
  double alpha() const { return alpha_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(rect());
    QPainterPath shape;
    shape.addRoundedRect(all, DockPreviewPanel::kCornerRadius, DockPreviewPanel::kCornerRadius);
    p.setClipPath(shape);
    FrostedMaterial(GlassMaterial::hudWindow).paint(p, all, accessibilityDisplay_.reduceTransparency());
    p.setClipping(false);
    QPainterPath edge;
    edge.addRoundedRect(all.adjusted(0.5, 0.5, -0.5, -0.5), DockPreviewPanel::kCornerRadius - 0.5,
                        DockPreviewPanel::kCornerRadius - 0.5);
    p.strokePath(edge, QPen(QColor(255, 255, 255, 40), 1));
  }

 private:
  const platform::AccessibilityDisplay& accessibilityDisplay_;
  double alpha_ = 1;
};

QLabel* titleLabel(const std::string& title, double width, QWidget* parent) {
  auto* label = new QLabel(parent);
  QFont font = label->font();
  font.setPixelSize(static_cast<int>(DockPreviewPanel::kTitleFontSize));
  font.setWeight(QFont::Medium);
  label->setFont(font);
  // An empty title keeps its line: a single blank.
  const QString text = title.empty() ? QString(" ") : QString::fromStdString(title);
  label->setText(QFontMetricsF(font).elidedText(text, Qt::ElideRight, width));
  label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  label->setStyleSheet("color: rgba(255, 255, 255, 217);");
  label->setFixedSize(static_cast<int>(width), static_cast<int>(DockPreviewPanel::kTitleHeight));
  return label;
}

}  // namespace

struct DockPreviewPanel::Impl {
  Impl(platform::MainLoop& loop, const platform::Screens& screens,
       const platform::AccessibilityDisplay& accessibilityDisplay,
       platform::ScreenPlacement* const& screenPlacement)
      : loop(loop),
        screens(screens),
        accessibilityDisplay(accessibilityDisplay),
        screenPlacement(screenPlacement) {}
  ~Impl() {
    for (const QPointer<QWidget>& w : retired) delete w.data();
  }

  // Over the simulated desktop's window the panel is scaled with it, like the other panels.
  void ensurePanel() {
    if (window) return;
    auto view = std::make_unique<PanelView>(accessibilityDisplay);
    panel = view.get();
    window =
        std::make_unique<PanelWindow>(std::move(view), screenPlacement, qt::SimScreenLayer::kPopUpMenuLevel);
  }
  // Puts the panel at `frame` of the simulated screen.
  void place(const Rect& frame) {
    current = frame;
    window->place(frame);
  }
  void setAlpha(double alpha) {
    panel->setAlpha(alpha);
    window->window().setWindowOpacity(alpha);
  }
  void slide(const Rect& from, const Rect& to);

  platform::MainLoop& loop;
  const platform::Screens& screens;
  const platform::AccessibilityDisplay& accessibilityDisplay;
  platform::ScreenPlacement* const& screenPlacement;
  PanelView* panel = nullptr;  // inside `window`
  std::unique_ptr<PanelWindow> window;
  QWidget* content = nullptr;
  std::vector<QPointer<QWidget>> retired;  // earlier cards waiting for their deferred deletion
  std::optional<Rect> current;
  platform::Timer animation;
};

void DockPreviewPanel::Impl::slide(const Rect& from, const Rect& to) {
  const double start = loop.uptime();
  place(from);
  setAlpha(0);
  animation = loop.every(kFrameInterval, [this, from, to, start] {
    const double t = std::clamp((loop.uptime() - start) / kSlideDuration, 0.0, 1.0);
    const double e = easeOut(t);
    place({to.x, from.y + (to.y - from.y) * e, to.width, to.height});
    setAlpha(e);
    if (t >= 1) animation.invalidate();
  });
}

DockPreviewPanel::DockPreviewPanel(platform::MainLoop& loop, const platform::Screens& screens,
                                   const platform::AccessibilityDisplay& accessibilityDisplay,
                                   platform::ScreenPlacement* const& screenPlacement)
    : impl_(std::make_unique<Impl>(loop, screens, accessibilityDisplay, screenPlacement)) {}

DockPreviewPanel::~DockPreviewPanel() = default;

double DockPreviewPanel::cardWidth(const std::optional<Size>& image) {
  const double width =
      image ? std::max(kCardHeight * (image->width / std::max(image->height, 1.0)), kMinCardWidth)
            : kNoImageCardWidth;
  return std::min(width, kMaxCardWidth);
}

Size DockPreviewPanel::panelSize(const std::vector<double>& cardWidths) {
  double row = 0;
  for (double w : cardWidths) row += w;
  if (!cardWidths.empty()) row += kCardSpacing * static_cast<double>(cardWidths.size() - 1);
  const double column = cardWidths.empty() ? 0 : kCardHeight + kTitleSpacing + kTitleHeight;
  return {row + 2 * kInset, column + 2 * kInset};
}

Rect DockPreviewPanel::placement(Size panel, const Rect& icon,
                                 const std::vector<platform::ScreenInfo>& screens) {
  double x = icon.midX() - panel.width / 2;
  double y = icon.minY() - kIconGap - panel.height;
  const platform::ScreenInfo* screen = nullptr;
  for (const auto& s : screens)
    if (s.frame.intersects(icon)) {
      screen = &s;
      break;
    }
  if (!screen && !screens.empty()) screen = &screens.front();
  if (screen) {
    const Rect& visible = screen->visibleFrame;
    x = std::max(x, visible.minX() + kScreenMargin);
    x = std::min(x, visible.maxX() - panel.width - kScreenMargin);
    y = std::max(y, visible.minY() + kScreenMargin);
  }
  return {x, y, panel.width, panel.height};
}

void DockPreviewPanel::show(const std::vector<Preview>& previews, const Rect& icon, bool animated,
                            std::function<void(std::int64_t)> onSelect,
                            std::function<void(std::int64_t)> onClose) {
  Impl& d = *impl_;
  d.ensurePanel();
  // The cards before may be running the very click that led here: they leave the panel at once
  // and are deleted at the next turn of the event loop (or with the panel).
  std::erase_if(d.retired, [](const QPointer<QWidget>& w) { return w.isNull(); });
  if (d.content) {
    d.content->hide();
    d.content->setParent(nullptr);
    d.content->deleteLater();
    d.retired.emplace_back(d.content);
  }
  d.content = new QWidget(d.panel);
  d.content->setObjectName("cards");

  std::vector<double> widths;
  double x = kInset;
  for (const Preview& preview : previews) {
    std::optional<Size> size;
    if (preview.image) size = Size{preview.image->pointWidth(), preview.image->pointHeight()};
    const double width = cardWidth(size);
    widths.push_back(width);
    auto* card = new PreviewCard(preview.windowNumber, preview.image, width, kCardHeight, preview.title,
                                 preview.isMinimized, d.content);
    card->move(static_cast<int>(std::lround(x)), static_cast<int>(kInset));
    const std::int64_t number = preview.windowNumber;
    card->onSelect = [onSelect, number] {
      if (onSelect) onSelect(number);
    };
    card->onClose = [onClose, number] {
      if (onClose) onClose(number);
    };
    card->onHover = [this, number](bool entered) {
      if (onHover) onHover(entered ? std::optional<std::int64_t>(number) : std::nullopt);
    };
    QLabel* title = titleLabel(preview.title, width, d.content);
    title->setObjectName(QString("velvix.dock.title.%1").arg(number));
    title->move(static_cast<int>(std::lround(x)), static_cast<int>(kInset + kCardHeight + kTitleSpacing));
    x += width + kCardSpacing;
  }
  const Size size = panelSize(widths);
  d.content->setGeometry(0, 0, static_cast<int>(std::lround(size.width)),
                         static_cast<int>(std::lround(size.height)));
  d.content->show();

  const Rect target = placement(size, icon, d.screens.screens());
  const bool wasVisible = d.window->isVisible();
  if (animated && !wasVisible) {
    d.slide({target.x, target.y + kSlideDistance, target.width, target.height}, target);
    d.window->show();
    return;
  }
  // Already up (or no animation asked): it moves at once, also out of a slide under way.
  d.animation.invalidate();
  d.place(target);
  d.setAlpha(1);
  d.window->show();
}

void DockPreviewPanel::hide() {
  Impl& d = *impl_;
  d.animation.invalidate();
  if (d.window) d.window->hide();
}

bool DockPreviewPanel::isVisible() const {
  return impl_->window && impl_->window->isVisible();
}

std::optional<Rect> DockPreviewPanel::frame() const {
  if (!impl_->window) return std::nullopt;
  return impl_->current;
}

double DockPreviewPanel::alpha() const {
  return impl_->panel ? impl_->panel->alpha() : 0;
}

std::optional<RGBAImage> DockPreviewPanel::snapshot(double scale) const {
  QWidget* panel = impl_->panel;
  if (!panel || panel->size().isEmpty()) return std::nullopt;
  // Drawn at the scale rather than at an image ratio of it: a ratio below one is not kept.
  QImage image((QSizeF(panel->size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.scale(scale, scale);
    panel->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  }
  return qt::fromQImage(image);
}

}  // namespace velvix
