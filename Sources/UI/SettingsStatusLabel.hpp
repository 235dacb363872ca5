#pragma once
// A status as the settings panes show it: a small dot, green when the thing is connected or
// granted and a dim grey otherwise, followed by a short text in the secondary colour.

#include <string>

#include <QWidget>

class QLabel;

namespace velvix {

class SettingsStatusLabel final : public QWidget {
  Q_OBJECT

 public:
  SettingsStatusLabel(bool connected, const std::string& text, QWidget* parent = nullptr);

  void set(bool connected, const std::string& text);
  bool isConnected() const { return connected_; }
  std::string text() const;

 private:
  class Dot;
  bool connected_ = false;
  Dot* dot_;
  QLabel* text_;
};

}  // namespace velvix
