#pragma once
// Points, sizes and rectangles in points. Window-server and Accessibility geometry is in global
// display coordinates with the origin at the top left and y growing downwards; where a caller
// works bottom-left (screen frames, the pointer for Dock code), it says so.

#include <algorithm>

namespace velvix {

struct Point {
  double x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;

  double minX() const { return x; }
  double minY() const { return y; }
  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  double midX() const { return x + width / 2; }
  double midY() const { return y + height / 2; }
  Point origin() const { return {x, y}; }
  Size size() const { return {width, height}; }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  bool contains(Point p) const { return p.x >= x && p.x < maxX() && p.y >= y && p.y < maxY(); }
  bool intersects(const Rect& o) const {
    return !isEmpty() && !o.isEmpty() && x < o.maxX() && o.x < maxX() && y < o.maxY() && o.y < maxY();
  }
  Rect intersection(const Rect& o) const {
    double left = std::max(x, o.x), top = std::max(y, o.y);
    double right = std::min(maxX(), o.maxX()), bottom = std::min(maxY(), o.maxY());
    if (right <= left || bottom <= top) return {};
    return {left, top, right - left, bottom - top};
  }
  bool operator==(const Rect&) const = default;
};

}  // namespace velvix
