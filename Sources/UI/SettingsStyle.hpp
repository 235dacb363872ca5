#pragma once
// The few fonts and colours every piece of the settings window shares, in the dark appearance:
// the system font at a point size and weight, the secondary text colour, the accent colour and
// the green of a connected status, and the scroll bar that sits on the glass.

#include <QColor>
#include <QFont>
#include <QPalette>

class QComboBox;
class QScrollBar;
class QWidget;

namespace velvix::SettingsStyle {

inline constexpr double kCalloutSize = 12;
// A disabled control or group is drawn at this strength, text and shapes alike.
inline constexpr double kDisabledOpacity = 0.5;

QFont font(double pointSize, QFont::Weight weight = QFont::Normal);
QFont monospacedDigits(double pointSize);
QColor primary();
QColor secondary();
QColor accent();
QColor green();
// Gives a label (or any widget) the secondary text colour, at half strength while disabled.
void makeSecondary(QWidget* widget);
// Makes the palette's disabled texts its active ones at the disabled strength, so a disabled
// group reads as the same content dimmed rather than in the style's own grey.
void dimDisabledText(QPalette& palette);
// The dark appearance's colours for every role, the disabled texts dimmed and the placeholder
// of an empty field readable.
QPalette darkPalette();
// Dresses a dialog built from the toolkit's stock boxes (About, alerts) as the program's other
// windows are: dark, with light text and the window's own buttons.
void makeDarkDialog(QWidget* dialog);
// The list a picker pops up, dark as the window around it.
void makeDarkPopUp(QComboBox* picker);
// A slim, translucent, rounded handle and nothing else (no trough, no arrow buttons): the style's
// own light trough and boxes would glare on the glass.
void makeGlassScrollBar(QScrollBar* bar);

}  // namespace velvix::SettingsStyle
