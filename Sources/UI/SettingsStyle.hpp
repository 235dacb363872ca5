#pragma once
// The few fonts and colours every piece of the settings window shares, in the dark appearance:
// the system font at a point size and weight, the secondary text colour, the accent colour and
// the green of a connected status, and the scroll bar that sits on the glass.

#include <QColor>
#include <QFont>

class QScrollBar;
class QWidget;

namespace velvix::SettingsStyle {

inline constexpr double kCalloutSize = 12;

QFont font(double pointSize, QFont::Weight weight = QFont::Normal);
QFont monospacedDigits(double pointSize);
QColor primary();
QColor secondary();
QColor accent();
QColor green();
// Gives a label (or any widget) the secondary text colour.
void makeSecondary(QWidget* widget);
// A slim, translucent, rounded handle and nothing else (no trough, no arrow buttons): the style's
// own light trough and boxes would glare on the glass.
void makeGlassScrollBar(QScrollBar* bar);

}  // namespace velvix::SettingsStyle
