#include "UI/ChromeSetupCard.hpp"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace velvix {
namespace {

constexpr int kSpacing = 12;
constexpr int kButtonSpacing = 10;
const QColor kSecondary(235, 235, 245, 150);

// The phase's symbol, drawn: a check in a green disc, a yellow warning triangle, a raised hand.
QPixmap symbolFor(ChromeSetupPhase::Kind kind) {
  const int size = kind == ChromeSetupPhase::Kind::done ? 36 : 30;
  QPixmap pixmap(size * 2, size * 2);
  pixmap.setDevicePixelRatio(2);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box(1, 1, size - 2, size - 2);
  QPen stroke(QColor(20, 20, 24), size / 10.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  switch (kind) {
    case ChromeSetupPhase::Kind::done: {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(52, 199, 89));
      p.drawEllipse(box);
      stroke.setColor(Qt::white);
      p.setPen(stroke);
      p.drawPolyline(
          QPolygonF({{size * 0.28, size * 0.52}, {size * 0.44, size * 0.68}, {size * 0.72, size * 0.34}}));
      break;
    }
    case ChromeSetupPhase::Kind::failed: {
      QPainterPath triangle;
      triangle.moveTo(size / 2.0, 2);
      triangle.lineTo(size - 2, size - 3);
      triangle.lineTo(2, size - 3);
      triangle.closeSubpath();
      p.fillPath(triangle, QColor(255, 204, 0));
      p.setPen(stroke);
      p.drawLine(QPointF(size / 2.0, size * 0.38), QPointF(size / 2.0, size * 0.66));
      p.drawPoint(QPointF(size / 2.0, size * 0.8));
      break;
    }
    default: {  // the raised hand of a stopped run
      p.setPen(Qt::NoPen);
      p.setBrush(kSecondary);
      p.drawRoundedRect(QRectF(size * 0.22, size * 0.42, size * 0.56, size * 0.52), size * 0.18, size * 0.18);
      for (int finger = 0; finger < 4; ++finger)
        p.drawRoundedRect(QRectF(size * (0.22 + finger * 0.145), size * 0.08, size * 0.11, size * 0.5),
                          size * 0.05, size * 0.05);
      break;
    }
  }
  return pixmap;
}

}  // namespace

ChromeSetupCard::ChromeSetupCard()
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName(kObjectName);
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedWidth(kWidth);
  auto* column = new QVBoxLayout(this);
  column->setSpacing(kSpacing);
  column->setContentsMargins(26, 24, 26, 24);

  progress_ = new QProgressBar(this);
  progress_->setRange(0, 0);  // indeterminate
  progress_->setTextVisible(false);
  progress_->setFixedWidth(160);
  symbol_ = new QLabel(this);
  symbol_->setAlignment(Qt::AlignCenter);
  title_ = new QLabel(this);
  title_->setObjectName("title");
  title_->setAlignment(Qt::AlignCenter);
  title_->setWordWrap(true);
  QFont titleFont = title_->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
  titleFont.setWeight(QFont::DemiBold);
  title_->setFont(titleFont);
  title_->setStyleSheet("color: white;");
  message_ = new QLabel(this);
  message_->setObjectName("message");
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  message_->setStyleSheet(QString("color: %1;").arg(kSecondary.name(QColor::HexArgb)));

  buttons_ = new QWidget(this);
  auto* row = new QHBoxLayout(buttons_);
  row->setSpacing(kButtonSpacing);
  row->setContentsMargins(0, 4, 0, 0);
  close_ = new QPushButton("Close", buttons_);
  retry_ = new QPushButton("Try Again", buttons_);
  retry_->setDefault(true);
  row->addWidget(close_);
  row->addWidget(retry_);
  connect(close_, &QPushButton::clicked, this, [this] {
    if (onDismiss) onDismiss();
  });
  connect(retry_, &QPushButton::clicked, this, [this] {
    if (onRetry) onRetry();
  });

  column->addWidget(progress_, 0, Qt::AlignHCenter);
  column->addWidget(symbol_, 0, Qt::AlignHCenter);
  column->addWidget(title_);
  column->addWidget(message_);
  column->addWidget(buttons_, 0, Qt::AlignHCenter);
  setPhase(phase_);
}

void ChromeSetupCard::setPhase(const ChromeSetupPhase& phase) {
  phase_ = phase;
  const bool working = phase.kind == ChromeSetupPhase::Kind::working;
  progress_->setVisible(working);
  symbol_->setVisible(!working);
  if (!working) symbol_->setPixmap(symbolFor(phase.kind));
  title_->setText(QString::fromStdString(phase.title()));
  message_->setText(QString::fromStdString(phase.message()));
  message_->setVisible(!phase.message().empty());
  buttons_->setVisible(phase.hasButtons());
  // Fixed to its ideal height at its fixed width, wrapped texts included.
  layout()->invalidate();
  layout()->activate();
  setFixedHeight(layout()->totalHeightForWidth(kWidth));
}

void ChromeSetupCard::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && phase_.hasButtons() && onRetry) {
    onRetry();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ChromeSetupCard::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF all = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath shape;
  shape.addRoundedRect(all, kCornerRadius, kCornerRadius);
  p.fillPath(shape, QColor(38, 38, 44, 236));    // the thin dark material
  p.fillPath(shape, QColor(255, 255, 255, 26));  // white at 10 %
  p.setPen(QPen(QColor(255, 255, 255, 56), 1));  // the inside border, white at 22 %
  p.drawPath(shape);
}

}  // namespace velvix
