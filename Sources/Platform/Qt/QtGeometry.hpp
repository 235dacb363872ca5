#pragma once
// Rectangles from the project's geometry (points, top-left origin) to Qt's whole-pixel window
// geometry, which uses the same origin and units.

#include <QRect>

#include "Platform/Geometry.hpp"

namespace velvix::qt {

// Each edge value rounded to the nearest whole point.
QRect toQRect(const Rect& rect);

}  // namespace velvix::qt
