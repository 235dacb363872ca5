#pragma once
// Pictures of widgets for UI tests: rendered offscreen into a QImage, either on a transparent
// field (for checking pixels) or over a colourful stand-in desktop (for judging translucent glass
// by eye). When the environment variable VELVIX_SCREENSHOTS names a folder, saveScreenshot()
// writes the picture there as "<name>.png"; otherwise it does nothing.

#include <filesystem>
#include <optional>
#include <string>

#include <QImage>

class QWidget;

namespace velvix::test {

QImage renderTransparent(QWidget& widget, double devicePixelRatio = 1.0);
QImage renderOverDesktop(QWidget& widget, double devicePixelRatio = 2.0);
// A picture already drawn (such as a panel's snapshot) laid over the stand-in desktop.
QImage composeOverDesktop(const QImage& picture);

// Renders `widget` over the stand-in desktop and writes it; the path written, if any.
std::optional<std::filesystem::path> saveScreenshot(QWidget& widget, const std::string& name);

}  // namespace velvix::test
