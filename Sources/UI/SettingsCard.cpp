#include "UI/SettingsCard.hpp"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "UI/SettingsDivider.hpp"
#include "UI/SettingsStyle.hpp"

namespace velvix {

// The rounded box behind the rows: white at 6 % with a 1-point border at 12 % inside its edge.
class SettingsCard::Box final : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(SettingsStyle::kDisabledOpacity);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(r, 10, 10);
    painter.fillPath(path, QColor::fromRgbF(1, 1, 1, 0.06f));
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.12f), 1));
    painter.drawPath(path);
  }
};

SettingsCard::SettingsCard(const std::string& title, std::optional<std::string> footer, QWidget* parent)
    : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(8);

  title_ = new QLabel(QString::fromStdString(title).toUpper(), this);
  QFont font = SettingsStyle::font(12, QFont::DemiBold);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
  title_->setFont(font);
  SettingsStyle::makeSecondary(title_);
  column->addWidget(title_);

  box_ = new Box(this);
  rows_ = new QVBoxLayout(box_);
  rows_->setContentsMargins(14, 10, 14, 10);
  rows_->setSpacing(0);
  column->addWidget(box_);

  footer_ = new QLabel(this);
  footer_->setWordWrap(true);
  footer_->setFont(SettingsStyle::font(SettingsStyle::kCalloutSize));
  footer_->setContentsMargins(2, 0, 2, 0);
  SettingsStyle::makeSecondary(footer_);
  column->addWidget(footer_);
  setFooter(footer);
}

QWidget* SettingsCard::add(QWidget* row) {
  row->setParent(box_);
  rows_->addWidget(row);
  return row;
}

QWidget* SettingsCard::addDivider() {
  return add(new SettingsDivider);
}

void SettingsCard::setFooter(const std::optional<std::string>& footer) {
  footer_->setText(QString::fromStdString(footer.value_or("")));
  footer_->setVisible(footer.has_value());
}

}  // namespace velvix
