#include "UI/SettingsStatusLabel.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "UI/SettingsStyle.hpp"

namespace velvix {

class SettingsStatusLabel::Dot final : public QWidget {
 public:
  explicit Dot(QWidget* parent) : QWidget(parent) { setFixedSize(8, 8); }
  bool on = false;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor grey = SettingsStyle::secondary();
    grey.setAlphaF(grey.alphaF() * 0.5f);
    painter.setBrush(on ? SettingsStyle::green() : grey);
    painter.drawEllipse(QRectF(rect()));
  }
};

SettingsStatusLabel::SettingsStatusLabel(bool connected, const std::string& text, QWidget* parent)
    : QWidget(parent) {
  auto* line = new QHBoxLayout(this);
  line->setContentsMargins(0, 0, 0, 0);
  line->setSpacing(6);
  dot_ = new Dot(this);
  line->addWidget(dot_, 0, Qt::AlignVCenter);
  text_ = new QLabel(this);
  text_->setTextFormat(Qt::PlainText);  // shown verbatim
  text_->setFont(SettingsStyle::font(13));
  SettingsStyle::makeSecondary(text_);
  line->addWidget(text_, 0, Qt::AlignVCenter);
  set(connected, text);
}

void SettingsStatusLabel::set(bool connected, const std::string& text) {
  connected_ = connected;
  dot_->on = connected;
  dot_->update();
  text_->setText(QString::fromStdString(text));
}

std::string SettingsStatusLabel::text() const {
  return text_->text().toStdString();
}

}  // namespace velvix
