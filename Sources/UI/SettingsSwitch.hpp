#pragma once
// A toggle drawn as a switch, the one toggle style of the settings window: a capsule that is the
// accent colour when on and grey when off, with a white knob at the matching end. Its label is
// empty; the row beside it names it. Disabled, it is drawn at half strength and takes no clicks.

#include <QAbstractButton>

namespace velvix {

class SettingsSwitch final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit SettingsSwitch(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {38, 22}; }

 protected:
  void paintEvent(QPaintEvent*) override;
};

}  // namespace velvix
