#pragma once
// One titled group of a settings pane: the title in small capitals above a rounded, faintly lit
// box that holds the rows, and an optional footer of explanation below. It only lays out what the
// pane puts into it.

#include <optional>
#include <string>

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace velvix {

class SettingsCard final : public QWidget {
  Q_OBJECT

 public:
  SettingsCard(const std::string& title, std::optional<std::string> footer, QWidget* parent = nullptr);

  // Appends a row (or any widget) to the box; the card takes it.
  QWidget* add(QWidget* row);
  // Appends a divider and returns it, so a pane can hide it with the row it separates.
  QWidget* addDivider();
  void setFooter(const std::optional<std::string>& footer);
  QLabel* titleLabel() const { return title_; }
  QLabel* footerLabel() const { return footer_; }

 private:
  class Box;
  QLabel* title_;
  QWidget* box_;
  QVBoxLayout* rows_;
  QLabel* footer_;
};

}  // namespace velvix
