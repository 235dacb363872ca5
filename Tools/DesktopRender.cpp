// velvix_desktop_render: draws the window onto the simulated sample desktop with an open chord
// (the HUD over it) into a PNG, for reviewing the look.
//
//   velvix_desktop_render OUT.png [--tabs N]   (N presses of Tab with Command held; default 2)

#include <cstdlib>
#include <iostream>
#include <string>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "Input/SwitcherController.hpp"
#include "RenderUsage.hpp"
#include "SampleDesktopScene.hpp"
#include "UI/HUDController.hpp"

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const char* usage = "usage: velvix_desktop_render OUT.png [--tabs N]   (N presses of Tab, default 2)\n";
  const bool help = velvix::tools::asksForHelp(argc, argv);
  const bool withTabs = argc == 4 && std::string(argv[2]) == "--tabs";
  if (help || !(argc == 2 || withTabs) || !velvix::tools::isPicturePath(argv[1]))
    return velvix::tools::answerUsage(usage, help);
  const int tabs = withTabs ? std::atoi(argv[3]) : 2;
  QApplication application(argc, argv);
  velvix::tools::SampleDesktopScene scene;
  auto& world = scene.world;
  auto& view = *scene.view;
  view.menuBar = &world.app->menuBar();  // the status item at the strip's right end, as the program shows it
  world.hold(velvix::platform::EventFlag::kCommand);
  for (int i = 0; i < tabs; ++i) world.tab();
  world.pause(0.3);

  QImage image = scene.render();
  auto& hud = world.app->delegate().switcher()->hud();
  if (auto frame = hud.panelFrame(); frame && hud.isVisible())
    if (auto still = hud.snapshot(view.displayScale())) {
      // The panel appears at the view's scale, as the program shows it over the view.
      QPainter p(&image);
      p.setRenderHint(QPainter::SmoothPixmapTransform);
      scene.drawPanel(p, *frame, *still);
    }
  const int status = velvix::tools::save(image, argv[1]);
  world.release();
  return status;
}
