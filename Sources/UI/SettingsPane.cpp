#include "UI/SettingsPane.hpp"

#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "UI/SettingsCard.hpp"
#include "UI/SettingsStyle.hpp"
#include "UI/SettingsSwitch.hpp"
#include "UI/SettingsView.hpp"

namespace velvix {

SettingsPane::SettingsPane(SettingsView& view) : view_(view) {
  column_ = new QVBoxLayout(this);
  column_->setContentsMargins(0, 0, 0, 0);
  column_->setSpacing(20);
}

const SettingsView::Collaborators& SettingsPane::uses() const {
  return view_.collaborators();
}
Preferences& SettingsPane::prefs() const {
  return view_.prefs();
}

void SettingsPane::refresh() {
  for (const auto& update : bindings_) update();
}

void SettingsPane::bind(std::function<void()> update) {
  update();
  bindings_.push_back(std::move(update));
}

SettingsCard* SettingsPane::addCard(const std::string& title, std::optional<std::string> footer) {
  auto* card = new SettingsCard(title, std::move(footer), this);
  column_->addWidget(card);
  return card;
}

SettingsSwitch* SettingsPane::toggle(Setting<bool>& setting) {
  auto* control = new SettingsSwitch;
  control->setObjectName(QString::fromStdString(setting.key()));
  connect(control, &QAbstractButton::clicked, control, [&setting](bool on) { setting.set(on); });
  bind([control, &setting] {
    const QSignalBlocker quiet(control);
    control->setChecked(setting.get());
  });
  return control;
}

QComboBox* SettingsPane::makePicker(const std::string& objectName, const std::vector<std::string>& labels,
                                    int width, std::function<void(int)> chosen,
                                    std::function<int()> current) {
  auto* control = new QComboBox;
  control->setObjectName(QString::fromStdString(objectName));
  // At least the width asked for, wider where a label needs it: a cut-off choice reads as another.
  control->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  control->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  control->setMinimumWidth(width);
  for (const auto& label : labels) control->addItem(QString::fromStdString(label));
  SettingsStyle::makeDarkPopUp(control);
  connect(control, &QComboBox::activated, control,
          [chosen = std::move(chosen)](int index) { chosen(index); });
  bind([control, current = std::move(current)] {
    const QSignalBlocker quiet(control);
    control->setCurrentIndex(current());
  });
  return control;
}

QPushButton* SettingsPane::button(const std::string& text, const std::string& objectName,
                                  std::function<void()> action) {
  auto* b = new QPushButton(QString::fromStdString(text));
  b->setObjectName(QString::fromStdString(objectName));
  b->setFocusPolicy(Qt::NoFocus);
  connect(b, &QPushButton::clicked, b, [action = std::move(action)] { action(); });
  return b;
}

}  // namespace velvix
