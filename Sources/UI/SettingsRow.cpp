#include "UI/SettingsRow.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "UI/SettingsStyle.hpp"

namespace velvix {

SettingsRow::SettingsRow(const std::string& title, std::optional<std::string> detail, QWidget* control,
                         QWidget* parent)
    : QWidget(parent), control_(control) {
  auto* line = new QHBoxLayout(this);
  line->setContentsMargins(0, 7, 0, 7);
  line->setSpacing(16);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  title_ = new QLabel(QString::fromStdString(title), this);
  title_->setFont(SettingsStyle::font(13));
  texts->addWidget(title_);
  detail_ = new QLabel(this);
  detail_->setFont(SettingsStyle::font(11));
  detail_->setWordWrap(true);  // long explanations grow the row, never its width
  SettingsStyle::makeSecondary(detail_);
  texts->addWidget(detail_);
  line->addLayout(texts, 1);
  if (control_) line->addWidget(control_, 0, Qt::AlignVCenter);
  setDetail(detail);
}

void SettingsRow::setDetail(const std::optional<std::string>& detail) {
  detail_->setText(QString::fromStdString(detail.value_or("")));
  detail_->setVisible(detail.has_value());
}

}  // namespace velvix
