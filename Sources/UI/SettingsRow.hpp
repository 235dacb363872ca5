#pragma once
// One row of a settings card: a title with an optional line of explanation on the left, and one
// control on the right, vertically centred however far the explanation wraps.

#include <optional>
#include <string>

#include <QWidget>

class QLabel;

namespace velvix {

class SettingsRow final : public QWidget {
  Q_OBJECT

 public:
  // Takes `control` (may be null: a row of text only).
  SettingsRow(const std::string& title, std::optional<std::string> detail, QWidget* control,
              QWidget* parent = nullptr);

  void setDetail(const std::optional<std::string>& detail);
  QLabel* titleLabel() const { return title_; }
  QLabel* detailLabel() const { return detail_; }
  QWidget* control() const { return control_; }

 private:
  QLabel* title_;
  QLabel* detail_;
  QWidget* control_;
};

}  // namespace velvix
