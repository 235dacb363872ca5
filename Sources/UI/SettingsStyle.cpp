#include "UI/SettingsStyle.hpp"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFontDatabase>
#include <QPalette>
#include <QScrollBar>
#include <QWidget>

namespace velvix::SettingsStyle {

QFont font(double pointSize, QFont::Weight weight) {
  QFont f;
  f.setPixelSize(static_cast<int>(pointSize + 0.5));
  f.setWeight(weight);
  return f;
}

QFont monospacedDigits(double pointSize) {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPixelSize(static_cast<int>(pointSize + 0.5));
  return f;
}

QColor primary() {
  return QColor(235, 235, 240);
}
QColor secondary() {
  return QColor(235, 235, 245, 153);
}
QColor accent() {
  return QColor(10, 132, 255);
}
QColor green() {
  return QColor(48, 209, 88);
}

void makeSecondary(QWidget* widget) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, secondary());
  p.setColor(QPalette::Text, secondary());
  dimDisabledText(p);
  widget->setPalette(p);
}

void dimDisabledText(QPalette& palette) {
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    QColor colour = palette.color(QPalette::Active, role);
    colour.setAlphaF(colour.alphaF() * kDisabledOpacity);
    palette.setColor(QPalette::Disabled, role, colour);
  }
}

QPalette darkPalette() {
  QPalette p;
  p.setColor(QPalette::Window, QColor(30, 30, 32));
  p.setColor(QPalette::WindowText, primary());
  p.setColor(QPalette::Base, QColor(40, 40, 44));
  p.setColor(QPalette::AlternateBase, QColor(48, 48, 52));
  p.setColor(QPalette::Text, primary());
  p.setColor(QPalette::Button, QColor(52, 52, 56));
  p.setColor(QPalette::ButtonText, primary());
  p.setColor(QPalette::Highlight, accent());
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::PlaceholderText, QColor(235, 235, 245, 128));
  p.setColor(QPalette::ToolTipBase, QColor(48, 48, 52));
  p.setColor(QPalette::ToolTipText, primary());
  p.setColor(QPalette::Light, QColor(80, 80, 86));
  p.setColor(QPalette::Midlight, QColor(64, 64, 70));
  p.setColor(QPalette::Mid, QColor(44, 44, 48));
  p.setColor(QPalette::Dark, QColor(20, 20, 22));
  p.setColor(QPalette::Shadow, Qt::black);
  dimDisabledText(p);
  return p;
}

void makeDarkDialog(QWidget* dialog) {
  dialog->setPalette(darkPalette());
  // The toolkit's stock pictures on its standard buttons belong to another desktop's look.
  for (auto* button : dialog->findChildren<QAbstractButton*>()) button->setIcon(QIcon());
  dialog->setAutoFillBackground(true);
  // The buttons as the window's own: translucent light on the dark, the default one in the accent.
  dialog->setStyleSheet(
      dialog->styleSheet() +
      "QMessageBox { background-color: rgb(30, 30, 32); } QLabel { color: rgb(235, 235, 240); }"
      "QPushButton { color: rgb(235, 235, 240); background: rgba(255, 255, 255, 38);"
      " border: 1px solid rgba(255, 255, 255, 46); border-radius: 6px; padding: 4px 14px; min-width: 64px; }"
      "QPushButton:default { background: rgb(10, 132, 255); border-color: rgb(10, 132, 255); color: white; }"
      "QPushButton:pressed { background: rgba(255, 255, 255, 70); }");
}

void makeDarkPopUp(QComboBox* picker) {
  // The list a picker pops up is a window of its own, which takes no palette from the window
  // the picker sits in.
  QWidget* list = picker->view()->window();
  list->setPalette(darkPalette());
  picker->view()->setPalette(darkPalette());
}

void makeGlassScrollBar(QScrollBar* bar) {
  bar->setStyleSheet(
      "QScrollBar:vertical { background: transparent; width: 10px; margin: 0; }"
      "QScrollBar::handle:vertical { background: rgba(255, 255, 255, 64); border-radius: 3px;"
      " min-height: 32px; margin: 2px; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }");
}

}  // namespace velvix::SettingsStyle
