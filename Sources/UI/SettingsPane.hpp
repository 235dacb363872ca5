#pragma once
// What every pane of the settings window shares: a column of cards that reads the settings and
// the window's live status through the view, and a list of bindings that put the current values
// back into its controls each time anything changes. A pane builds its rows once; refresh()
// updates values, texts, enabled states and which conditional rows show.

#include <functional>
#include <string>
#include <vector>

#include <QComboBox>
#include <QPushButton>
#include <QWidget>

#include "Core/Preferences.hpp"
#include "Core/SettingsEnums.hpp"
#include "UI/SettingsSwitch.hpp"
#include "UI/SettingsView.hpp"

class QVBoxLayout;

namespace velvix {

class SettingsCard;

class SettingsPane : public QWidget {
  Q_OBJECT

 public:
  explicit SettingsPane(SettingsView& view);
  // Puts the current settings and status into every control.
  void refresh();

 protected:
  SettingsView& view() const { return view_; }
  // The services the window shows and acts on.
  const SettingsView::Collaborators& uses() const;
  Preferences& prefs() const;
  SettingsCard* addCard(const std::string& title, std::optional<std::string> footer = std::nullopt);
  // Runs on every refresh (and once now).
  void bind(std::function<void()> update);
  // A switch bound to a setting; its object name is the setting's name.
  SettingsSwitch* toggle(Setting<bool>& setting);
  // A pop-up picker bound to a setting of an enumeration, one option per case in declared order.
  template <typename E>
  QComboBox* picker(Setting<E>& setting, const std::vector<std::string>& labels, int width);
  QPushButton* button(const std::string& text, const std::string& objectName, std::function<void()> action);
  QVBoxLayout* column() const { return column_; }

 private:
  QComboBox* makePicker(const std::string& objectName, const std::vector<std::string>& labels, int width,
                        std::function<void(int)> chosen, std::function<int()> current);

  SettingsView& view_;
  QVBoxLayout* column_;
  std::vector<std::function<void()>> bindings_;
};

template <typename E>
QComboBox* SettingsPane::picker(Setting<E>& setting, const std::vector<std::string>& labels, int width) {
  const auto cases = allCases<E>();
  return makePicker(
      setting.key(), labels, width,
      [&setting, cases](int index) {
        if (index >= 0 && index < static_cast<int>(cases.size()))
          setting.set(cases[static_cast<std::size_t>(index)]);
      },
      [&setting, cases] {
        for (std::size_t i = 0; i < cases.size(); ++i)
          if (cases[i] == setting.get()) return static_cast<int>(i);
        return -1;
      });
}

}  // namespace velvix
