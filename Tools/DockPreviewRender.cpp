// velvix_dock_preview_render: draws the window onto the simulated sample desktop with the Dock
// preview panel open over an application's Dock icon and the first card's window peeked at, into
// a PNG, for reviewing the look. The Dock controller does it all, as for a
// person: the pointer rests on the icon, then on the first card.
//
//   velvix_dock_preview_render OUT.png [BUNDLE_ID]   (default com.apple.TextEdit)

#include <iostream>
#include <string>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>

#include "Bridge/AXWindowBridge.hpp"
#include "Core/DockController.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Core/WindowList.hpp"
#include "RenderUsage.hpp"
#include "SampleDesktopScene.hpp"
#include "Support/AppIcon.hpp"
#include "Support/DockObserver.hpp"
#include "Support/RunningApps.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/PreviewCard.hpp"
#include "UI/WindowPeekPanel.hpp"

using namespace velvix;

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const bool help = tools::asksForHelp(argc, argv);
  if (help || argc < 2 || argc > 3 || !tools::isPicturePath(argv[1]))
    return tools::answerUsage(
        "usage: velvix_dock_preview_render OUT.png [BUNDLE_ID]   (default com.apple.TextEdit)\n", help);
  const std::string bundleID = argc > 2 ? argv[2] : "com.apple.TextEdit";
  QApplication application(argc, argv);
  tools::SampleDesktopScene scene;
  auto& world = scene.world;
  Services& services = world.services();

  std::optional<DockObserver::Item> icon;
  for (const auto& item : DockObserver(*services.workspace, *services.accessibility, *services.screens,
                                       *services.bundles, *services.loop)
                              .applicationItems())
    if (item.bundleID == bundleID) icon = item;
  if (!icon || !services.runningApps->first(bundleID)) {
    std::cerr << bundleID << " has no icon in the Dock or does not run\n";
    return 1;
  }
  // The pointer rests on the icon: the Dock controller opens the cards, as it does for a person.
  world.desktop.movePointer({icon->frame.midX(), icon->frame.midY()});
  world.desktop.noteInput(platform::InputEventType::mouseMoved);
  world.pause(1);
  DockController& dock = *services.dock;
  const auto frame = dock.previewPanel().frame();
  if (!dock.previewPanel().isVisible() || !frame) {
    std::cerr << "no cards came up over " << bundleID << "\n";
    return 1;
  }
  // Then onto the first card: its window is peeked at.
  world.desktop.movePointer({frame->x + 40, frame->y + 40});
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == DockPreviewPanel::kPanelName && top->isVisible())
      for (QWidget* child : top->findChildren<QWidget*>())
        if (child->objectName().startsWith("velvix.dock.card.")) {
          QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), QPointF(20, 20));
          QApplication::sendEvent(child, &enter);
          break;
        }
  world.pause(0.5);

  QImage image = scene.render();
  QPainter p(&image);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const WindowPeekPanel& peek = world.app->windowPeek();
  if (peek.isVisible() && peek.frame() && peek.image()) {
    p.setOpacity(peek.alpha());
    scene.drawPanel(p, *peek.frame(), *peek.image());
    p.setOpacity(1);
  }
  if (auto still = world.app->dockCards().snapshot(1.0)) scene.drawPanel(p, *frame, *still);
  p.end();
  return tools::save(image, argv[1]);
}
