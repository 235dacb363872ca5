// velvix_screen_grab: writes what the display shows in a rectangle (by default all of it) into a
// PNG: the live program's window as a person sees it, with the panels and menus over it. The
// README's pictures are taken with it (scripts/grab-pictures).
//
//   velvix_screen_grab OUT.png [X Y WIDTH HEIGHT]

#include <cstdlib>
#include <iostream>
#include <string>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "RenderUsage.hpp"

int main(int argc, char** argv) {
  const char* usage = "usage: velvix_screen_grab OUT.png [X Y WIDTH HEIGHT]   (on the display in DISPLAY)\n";
  const bool help = velvix::tools::asksForHelp(argc, argv);
  if (help || (argc != 2 && argc != 6) || !velvix::tools::isPicturePath(argv[1]))
    return velvix::tools::answerUsage(usage, help);
  if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) {
    std::cerr << "velvix_screen_grab: DISPLAY is not set\n";
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  QGuiApplication application(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) {
    std::cerr << "velvix_screen_grab: no screen\n";
    return 1;
  }
  QPixmap picture = argc == 6 ? screen->grabWindow(0, std::atoi(argv[2]), std::atoi(argv[3]),
                                                   std::atoi(argv[4]), std::atoi(argv[5]))
                              : screen->grabWindow(0);
  if (picture.isNull() || !picture.save(QString::fromUtf8(argv[1]), "PNG")) {
    std::cerr << "velvix_screen_grab: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
