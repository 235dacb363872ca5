#include "Platform/Qt/QtGeometry.hpp"

#include <cmath>

namespace velvix::qt {

QRect toQRect(const Rect& rect) {
  auto whole = [](double v) { return static_cast<int>(std::lround(v)); };
  return {whole(rect.x), whole(rect.y), whole(rect.width), whole(rect.height)};
}

}  // namespace velvix::qt
