#include "UI/AppearanceOptionCard.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include "Platform/AppResources.hpp"
#include "UI/SettingsStyle.hpp"

namespace velvix {
namespace {

constexpr double kPictureRadius = 9;
constexpr double kCardRadius = 12;
constexpr int kMarkSize = 14;
constexpr int kTextLeft = kMarkSize + 8;

QImage carriedImage(const platform::AppResources& resources, const std::string& name) {
  for (const char* extension : {".png", ".jpg"})
    if (auto path = resources.path(name + extension)) {
      QImage image(QString::fromStdString(path->string()));
      if (!image.isNull()) return image;
    }
  return {};
}

QPainterPath roundedPath(const QRectF& rect, double radius) {
  QPainterPath path;
  path.addRoundedRect(rect, radius, radius);
  return path;
}

}  // namespace

AppearanceOptionCard::AppearanceOptionCard(const std::string& title, const std::string& subtitle,
                                           const std::string& imageName,
                                           const platform::AppResources& resources, QWidget* fallback,
                                           QWidget* parent)
    : QAbstractButton(parent),
      title_(title),
      subtitle_(subtitle),
      image_(carriedImage(resources, imageName)) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  if (image_.isNull() && fallback) {
    fallback_ = fallback;
    fallback_->setParent(this);
    fallback_->setAttribute(Qt::WA_TransparentForMouseEvents);
  } else {
    delete fallback;
  }
  connect(this, &QAbstractButton::clicked, this, [this] {
    if (onSelect) onSelect();
  });
  setFixedHeight(sizeHint().height());
}

QSize AppearanceOptionCard::sizeHint() const {
  const QFontMetricsF title(SettingsStyle::font(13, QFont::DemiBold));
  const QFontMetricsF subtitle(SettingsStyle::font(11));
  // Room for a subtitle of two lines.
  const int text = static_cast<int>(title.height() + 2 * subtitle.lineSpacing() + 2);
  return {240, kPad + kPictureHeight + 10 + text + kPad};
}

void AppearanceOptionCard::setSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  update();
}

QRect AppearanceOptionCard::pictureRect() const {
  return {kPad, kPad, width() - 2 * kPad, kPictureHeight};
}

void AppearanceOptionCard::resizeEvent(QResizeEvent*) {
  if (!fallback_) return;
  const QRect picture = pictureRect();
  fallback_->setGeometry(picture);
  QPainterPath clip = roundedPath(QRectF(0, 0, picture.width(), picture.height()), kPictureRadius);
  fallback_->setMask(QRegion(clip.toFillPolygon().toPolygon()));
}

void AppearanceOptionCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                         QPainter::TextAntialiasing);
  const QColor accent = SettingsStyle::accent();
  const QRectF card = QRectF(rect()).adjusted(1, 1, -1, -1);
  if (selected_) {
    QColor tint = accent;
    tint.setAlphaF(0.10f);
    painter.fillPath(roundedPath(card, kCardRadius), tint);
    painter.setPen(QPen(accent, 2));
    painter.drawPath(roundedPath(card, kCardRadius));
  }

  const QRectF picture(pictureRect());
  if (!image_.isNull()) {
    painter.save();
    painter.setClipPath(roundedPath(picture, kPictureRadius));
    const double scale = std::max(picture.width() / image_.width(), picture.height() / image_.height());
    const QSizeF size(image_.width() * scale, image_.height() * scale);
    painter.drawImage(QRectF(picture.center() - QPointF(size.width() / 2, size.height() / 2), size), image_);
    painter.restore();
  }
  QColor outline = SettingsStyle::primary();
  outline.setAlphaF(0.12f);
  painter.setPen(QPen(outline, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(roundedPath(picture.adjusted(0.5, 0.5, -0.5, -0.5), kPictureRadius));

  // The check mark (or the empty circle), then the title and the subtitle beside it.
  const double top = picture.bottom() + 10;
  const QRectF mark(kPad, top + 1, kMarkSize, kMarkSize);
  if (selected_) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    painter.drawEllipse(mark);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF c = mark.center();
    painter.drawPolyline(QPolygonF({c + QPointF(-3.2, 0.2), c + QPointF(-0.8, 2.6), c + QPointF(3.4, -2.4)}));
  } else {
    painter.setPen(QPen(SettingsStyle::secondary(), 1.3));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(mark.adjusted(0.7, 0.7, -0.7, -0.7));
  }
  const QFont titleFont = SettingsStyle::font(13, QFont::DemiBold);
  const QFontMetricsF titleMetrics(titleFont);
  const double textX = kPad + kTextLeft;
  const double textWidth = width() - textX - kPad;
  painter.setFont(titleFont);
  painter.setPen(SettingsStyle::primary());
  painter.drawText(QRectF(textX, top, textWidth, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(title_));
  painter.setFont(SettingsStyle::font(11));
  painter.setPen(SettingsStyle::secondary());
  painter.drawText(QRectF(textX, top + titleMetrics.height() + 1, textWidth, height() - top),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromStdString(subtitle_));
}

}  // namespace velvix
