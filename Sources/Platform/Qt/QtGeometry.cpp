#include "Platform/Qt/QtGeometry.hpp"

#include <cmath>

namespace velvix::qt {

QRect toQRect(const Rect& rect) {
  auto whole = [](double v) { return static_cast<int>(std::lround(v)); };
  return {whole(rect.x), whole(rect.y), whole(rect.width), whole(rect.height)};
}

Rect fromQRect(const QRect& rect) {
  return {static_cast<double>(rect.x()), static_cast<double>(rect.y()), static_cast<double>(rect.width()),
          static_cast<double>(rect.height())};
}

}  // namespace velvix::qt
