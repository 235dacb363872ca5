#pragma once
// Paints a small area in bands of at most 64 device rows. Qt's raster engine hands every blend of
// 96 rows or more to its worker threads; for the hundred thousand pixels or so of one HUD still
// or one part of a repaint, waking them costs the painting thread more than the copy itself. Each band is
// the same drawing clipped to the band, so the pixels are those of one drawing.

#include <functional>

class QPainter;
class QRectF;

namespace velvix::qt {

// Bands of whole points fall on whole device rows: the painter only moves and scales, by a
// whole factor.
bool slicesExactly(const QPainter& painter);

// Calls `paint` once per band of `area` (the painter's coordinates, taken to whole points), with
// the painter clipped to the band; once, clipped to the area, where the area itself is as large as
// a whole frame (the glass), which the worker threads do share well; once, unclipped, where bands
// would not fall on whole rows.
void paintInRowSlices(QPainter& painter, const QRectF& area, const std::function<void()>& paint);

}  // namespace velvix::qt
