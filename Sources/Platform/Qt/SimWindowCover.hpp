#pragma once
// Where other applications' windows lie in front of one of the program's own windows on the
// simulated screen: over that window's panel it shows the screen as the desktop view drew it,
// only inside the covered region. Pointer input there is not its own: it goes on to the desktop
// view beneath, as a click on those windows.

#include <functional>

#include <QRegion>
#include <QWidget>

namespace velvix::qt {

class SimWindowCover final : public QWidget {
 public:
  // `paintScreen` draws the simulated screen in the coordinates of the cover's parent.
  SimWindowCover(QWidget& parent, std::function<void(QPainter&)> paintScreen);
  // The region of the parent it covers; empty hides it.
  void cover(const QRegion& region);
  const QRegion& covered() const { return region_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::function<void(QPainter&)> paintScreen_;
  QRegion region_;
};

}  // namespace velvix::qt
