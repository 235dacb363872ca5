#pragma once
// The setting the render tools draw in: the built-in sample desktop, launched and settled, shown in
// a 1440 × 900 desktop view that panels are placed over, as in the program; and the steps every
// tool ends with (the view drawn on black, a panel's picture laid over it, the PNG written).

#include <iostream>
#include <optional>

#include <QImage>
#include <QPainter>
#include <QString>

#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "TestSupport/AppWorld.hpp"

namespace velvix::tools {

class SampleDesktopScene {
 public:
  SampleDesktopScene() {
    sim::SampleDesktop::load(world.desktop, sim::SampleDesktop::builtIn());
    world.launch();
    world.pause(1);
    view.emplace(world.desktop);
    view->resize(1440, 900);
    world.services().placement = &*view;
  }

  // The view as the window shows it now, on black.
  QImage render() {
    QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    view->render(&image);
    return image;
  }
  // A panel's picture over the view at the panel's frame, at the view's scale.
  void drawPanel(QPainter& painter, const Rect& frame, const RGBAImage& picture) const {
    painter.drawImage(QRectF(view->toView(frame.origin()), view->toView({frame.maxX(), frame.maxY()})),
                      qt::toQImage(picture));
  }

  test::AppWorld world;
  std::optional<qt::SimDesktopView> view;  // made once the desktop runs; goes before the world
};

// Writes the PNG; the tool's exit status.
inline int save(const QImage& image, const char* path) {
  if (image.save(QString::fromUtf8(path))) return 0;
  std::cerr << "cannot write " << path << "\n";
  return 1;
}

}  // namespace velvix::tools
