#pragma once
// The hairline between two rows of a settings card: one point high, the primary colour at 7 %.

#include <QWidget>

namespace velvix {

class SettingsDivider final : public QWidget {
  Q_OBJECT

 public:
  explicit SettingsDivider(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent*) override;
};

}  // namespace velvix
