#include "UI/PanelWindow.hpp"

#include <algorithm>

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QWidget>

#include "Platform/Qt/QtGeometry.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Qt/SimScreenLayer.hpp"
#include "Platform/Qt/SimWindowPainter.hpp"
#include "Platform/ScreenPlacement.hpp"

namespace velvix {

PanelWindow::PanelWindow(std::unique_ptr<QWidget> content, platform::ScreenPlacement* placement, int level)
    : content_(std::move(content)), placement_(placement) {
  if (!placement_) return;
  auto* desktop = dynamic_cast<qt::SimDesktopView*>(placement);
  // Qt cannot scale a window's widgets, but a graphics view can scale a widget it holds; the
  // view takes the panel's window flags and transparency.
  host_ = std::make_unique<QGraphicsView>();
  host_->setWindowFlags(content_->windowFlags());
  host_->setObjectName(content_->objectName() + ".window");
  host_->setAttribute(Qt::WA_TranslucentBackground);
  host_->setAttribute(Qt::WA_ShowWithoutActivating);
  if (content_->testAttribute(Qt::WA_TransparentForMouseEvents))
    host_->setAttribute(Qt::WA_TransparentForMouseEvents);
  host_->setFrameShape(QFrame::NoFrame);
  host_->setStyleSheet("background: transparent; border: none;");
  host_->viewport()->setAutoFillBackground(false);
  host_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  host_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  host_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  host_->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                        QPainter::TextAntialiasing);
  host_->setMouseTracking(true);
  // A panel that takes no keyboard focus does not take it from the window a click leaves key.
  if (content_->windowFlags() & Qt::WindowDoesNotAcceptFocus) host_->setFocusPolicy(Qt::NoFocus);
  auto* scene = new QGraphicsScene(host_.get());
  scene->setBackgroundBrush(Qt::NoBrush);
  host_->setScene(scene);
  content_->setWindowFlags(Qt::Widget);
  scene->addWidget(content_.get());
  if (desktop) {
    // One of the desktop view's children: no window of its own for a window manager to place.
    layer_ = &desktop->screenLayer();
    composed_ = true;
    host_->hide();
    layer_->adopt(*host_, level, [this] {
      if (frame_) place(*frame_);
    });
  }
}

PanelWindow::~PanelWindow() {
  // An embedded content belongs to the scene's proxy, which deletes it with the host.
  if (host_) (void)content_.release();
}

QWidget& PanelWindow::window() const {
  return host_ ? static_cast<QWidget&>(*host_) : *content_;
}

double PanelWindow::titleBarHeight() const {
  return composed_ && titled_ ? qt::SimWindowPainter::kTitleBarHeight : 0;
}

void PanelWindow::place(const Rect& whole) {
  frame_ = whole;
  if (!host_) {
    content_->setGeometry(qt::toQRect(whole));
    return;
  }
  const double bar = std::min(titleBarHeight(), whole.height);
  const Rect frame{whole.x, whole.y + bar, whole.width, whole.height - bar};
  content_->setGeometry(QRect(0, 0, qRound(frame.width), qRound(frame.height)));
  host_->scene()->setSceneRect(0, 0, frame.width, frame.height);
  if (composed_ && !layer_) return;  // the desktop view has gone: nowhere to appear
  const Rect shown = layer_ ? static_cast<const qt::SimDesktopView*>(placement_)->toScreenLayer(frame)
                            : platform::placedOnDisplay(placement_, frame);
  const double scale = frame.width > 0 ? shown.width / frame.width : 1.0;
  host_->setTransform(QTransform::fromScale(scale, scale));
  host_->setGeometry(qt::toQRect(shown));
}

void PanelWindow::render(QPainter& painter, const QRectF& target) const {
  if (host_) {
    host_->scene()->render(&painter, target, host_->scene()->sceneRect());
    return;
  }
  painter.save();
  painter.translate(target.topLeft());
  painter.scale(target.width() / std::max(1, content_->width()),
                target.height() / std::max(1, content_->height()));
  content_->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  painter.restore();
}

void PanelWindow::show() {
  content_->show();
  if (host_) host_->show();
  if (layer_)
    layer_->orderFront(*host_);
  else if (!composed_)
    window().raise();
}

void PanelWindow::setWindowNumber(std::int64_t number) {
  if (layer_) layer_->setWindowNumber(*host_, number);
  titled_ = true;
  if (frame_) place(*frame_);
}

void PanelWindow::hide() {
  if (host_) host_->hide();
  content_->hide();
}

bool PanelWindow::isVisible() const {
  // Composed, it is on the screen when ordered in, whether or not the desktop window shows now.
  if (composed_) return layer_ && !host_->isHidden() && !content_->isHidden();
  return window().isVisible() && content_->isVisible();
}

}  // namespace velvix
