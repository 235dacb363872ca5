#pragma once
// Rectangles between the project's geometry (points, top-left origin) and Qt's whole-pixel
// window geometry, which uses the same origin and units.

#include <QRect>

#include "Platform/Geometry.hpp"

namespace velvix::qt {

// Each edge value rounded to the nearest whole point.
QRect toQRect(const Rect& rect);
Rect fromQRect(const QRect& rect);

}  // namespace velvix::qt
