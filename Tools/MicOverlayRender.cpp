// velvix_mic_overlay_render: draws the microphone overlay over the simulated sample desktop, once
// muted and once unmuted, side by side into one PNG, for reviewing its look.
//
//   velvix_mic_overlay_render OUT.png

#include <iostream>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "Platform/Qt/QtImageConversion.hpp"
#include "RenderUsage.hpp"
#include "SampleDesktopScene.hpp"
#include "UI/MicFeedbackHUD.hpp"

using namespace velvix;

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const bool help = tools::asksForHelp(argc, argv);
  if (help || argc != 2 || !tools::isPicturePath(argv[1]))
    return tools::answerUsage("usage: velvix_mic_overlay_render OUT.png\n", help);
  QApplication application(argc, argv);
  tools::SampleDesktopScene scene;
  auto& world = scene.world;
  auto& view = *scene.view;
  Services& services = world.services();

  // Each state over the middle of the screen, where the overlay appears, bounce settled.
  const int side = 360;
  QImage out(2 * side, side, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::black);
  QPainter composed(&out);
  for (bool muted : {true, false}) {
    services.micHUD->show(muted);
    world.pause(0.6);
    QImage screen = scene.render();
    const auto frame = services.micHUD->frame();
    const auto still = services.micHUD->snapshot(1.0);
    if (!frame || !still) {
      std::cerr << "the overlay did not appear\n";
      return 1;
    }
    const QPointF at = view.toView(frame->origin());
    {
      QPainter p(&screen);
      p.drawImage(QRectF(at, QSizeF(frame->width, frame->height)), qt::toQImage(*still));
    }
    const QPointF centre = at + QPointF(frame->width / 2, frame->height / 2);
    const QRect crop(static_cast<int>(centre.x()) - side / 2, static_cast<int>(centre.y()) - side / 2, side,
                     side);
    composed.drawImage(QPoint(muted ? 0 : side, 0), screen.copy(crop));
  }
  composed.end();
  return tools::save(out, argv[1]);
}
