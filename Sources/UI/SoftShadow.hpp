#pragma once
// Soft glows and shadows around a shape, as the HUD's highlights, rings and badges cast them: a
// colour fading out over `radius` points around the shape's outline, moved by an offset. Drawn
// as a stack of widening translucent outlines, which looks like a blur at the small radii the
// HUD uses and costs no offscreen image.

class QColor;
class QPainter;
class QPainterPath;
class QPointF;

namespace velvix {

void paintSoftShadow(QPainter& painter, const QPainterPath& shape, const QColor& colour, double radius,
                     const QPointF& offset);

}  // namespace velvix
