#include "Platform/Qt/SimWindowCover.hpp"

#include <QPainter>

namespace velvix::qt {

SimWindowCover::SimWindowCover(QWidget& parent, std::function<void(QPainter&)> paintScreen)
    : QWidget(&parent), paintScreen_(std::move(paintScreen)) {
  setObjectName("SimulatedWindowCover");
  setAttribute(Qt::WA_NoSystemBackground);
  hide();
}

void SimWindowCover::cover(const QRegion& region) {
  if (region == region_) return;
  region_ = region;
  if (region.isEmpty()) {
    hide();
    return;
  }
  const QRect bounds = region.boundingRect();
  setGeometry(bounds);
  // Outside the mask the panel beneath is what the pointer meets.
  setMask(region.translated(-bounds.topLeft()));
  show();
  update();
}

void SimWindowCover::paintEvent(QPaintEvent*) {
  if (!paintScreen_) return;
  QPainter p(this);
  p.translate(-pos());
  paintScreen_(p);
}

}  // namespace velvix::qt
