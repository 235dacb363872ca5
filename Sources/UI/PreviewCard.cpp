#include "UI/PreviewCard.hpp"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>

#include "Platform/Qt/QtImageConversion.hpp"
#include "UI/HUDSymbols.hpp"

namespace velvix {

namespace {

// The still, scaled to fit with its aspect kept, or the window symbol; its border follows the
// card's hover.
class CardThumb final : public QAbstractButton {
 public:
  CardThumb(QImage image, QWidget* parent) : QAbstractButton(parent), image_(std::move(image)) {
    setObjectName("thumb");
    setCursor(Qt::PointingHandCursor);
  }
  void setHighlighted(bool on) {
    highlighted_ = on;
    update();
  }
  bool hasImage() const { return !image_.isNull(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF all(rect());
    QPainterPath shape;
    shape.addRoundedRect(all, PreviewCard::kThumbCornerRadius, PreviewCard::kThumbCornerRadius);
    p.save();
    p.setClipPath(shape);
    p.fillRect(all, QColor(255, 255, 255, 14));
    if (!image_.isNull()) {
      const QSizeF fitted = QSizeF(image_.size()).scaled(all.size(), Qt::KeepAspectRatio);
      p.drawImage(QRectF(all.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted), image_);
    } else {
      HUDSymbols::paint(p, "macwindow", all, PreviewCard::kPlaceholderSymbolSize, HUDSymbols::Weight::regular,
                        QColor(255, 255, 255, 150));
    }
    p.restore();
    const double width = highlighted_ ? PreviewCard::kHoverBorderWidth : PreviewCard::kBorderWidth;
    QPainterPath border;
    border.addRoundedRect(all.adjusted(width / 2, width / 2, -width / 2, -width / 2),
                          PreviewCard::kThumbCornerRadius - width / 2,
                          PreviewCard::kThumbCornerRadius - width / 2);
    p.strokePath(border,
                 QPen(highlighted_ ? PreviewCard::hoverColour() : PreviewCard::separatorColour(), width));
  }

 private:
  QImage image_;
  bool highlighted_ = false;
};

// A round 18-point control with a white symbol on a translucent disc.
class RoundSymbol final : public QAbstractButton {
 public:
  RoundSymbol(const char* symbol, double symbolSize, QColor disc, QWidget* parent)
      : QAbstractButton(parent), symbol_(symbol), symbolSize_(symbolSize), disc_(disc) {
    resize(static_cast<int>(PreviewCard::kButtonSize), static_cast<int>(PreviewCard::kButtonSize));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(disc_);
    p.drawEllipse(QRectF(rect()));
    HUDSymbols::paint(p, symbol_, QRectF(rect()), symbolSize_, HUDSymbols::Weight::bold, Qt::white);
  }

 private:
  const char* symbol_;
  double symbolSize_;
  QColor disc_;
};

QColor withAlpha(QColor colour, double alpha) {
  colour.setAlphaF(static_cast<float>(alpha));
  return colour;
}

}  // namespace

QColor PreviewCard::separatorColour() {
  return QColor(255, 255, 255, 26);
}
QColor PreviewCard::hoverColour() {
  return QColor(10, 132, 255);
}

PreviewCard::PreviewCard(std::int64_t windowNumber, const std::optional<RGBAImage>& image, double width,
                         double height, const std::string& tooltip, bool isMinimized, QWidget* parent)
    : QWidget(parent), windowNumber_(windowNumber), isMinimizedWindow_(isMinimized) {
  setObjectName(QString("velvix.dock.card.%1").arg(windowNumber));
  resize(static_cast<int>(width), static_cast<int>(height));
  setAttribute(Qt::WA_Hover);

  auto* thumb = new CardThumb(image ? qt::toQImage(*image) : QImage(), this);
  thumb->setGeometry(rect());
  thumb->setToolTip(QString::fromStdString(tooltip));
  connect(thumb, &QAbstractButton::clicked, this, [this] { selectClicked(); });
  thumb_ = thumb;

  const int side = static_cast<int>(kButtonSize);
  const int closeX = static_cast<int>(width - kCloseInset - kButtonSize);
  auto* close =
      new RoundSymbol("xmark", kCloseSymbolSize, withAlpha(QColor(255, 69, 58), kCloseOpacity), this);
  close->setObjectName("close");
  close->setGeometry(closeX, static_cast<int>(kCloseInset), side, side);
  close->setToolTip("Close window");
  close->setAccessibleName("Close");
  close->setCursor(Qt::PointingHandCursor);
  close->hide();
  connect(close, &QAbstractButton::clicked, this, [this] { closeClicked(); });
  closeButton_ = close;

  // A badge, not a control: clicking it does nothing, pointing at it tells what it means.
  auto* badge = new RoundSymbol("minus", kBadgeSymbolSize, withAlpha(Qt::black, kBadgeOpacity), this);
  badge->setObjectName("minimizedBadge");
  badge->setGeometry(closeX - static_cast<int>(kBadgeGap) - side, static_cast<int>(kCloseInset), side, side);
  badge->setToolTip("Minimized");
  badge->setAccessibleName("Minimized");
  badge->setVisible(isMinimized);
  minimizedBadge_ = badge;
}

void PreviewCard::enterEvent(QEnterEvent*) {
  setHovered(true);
}
void PreviewCard::leaveEvent(QEvent*) {
  setHovered(false);
}

void PreviewCard::setHovered(bool hovered) {
  hovered_ = hovered;
  static_cast<CardThumb*>(thumb_)->setHighlighted(hovered);
  closeButton_->setVisible(hovered);
  if (onHover) onHover(hovered);
}

void PreviewCard::selectClicked() {
  if (onSelect) onSelect();
}

void PreviewCard::closeClicked() {
  if (onClose) onClose();
}

}  // namespace velvix
