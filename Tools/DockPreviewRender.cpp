// velvix_dock_preview_render: draws the window onto the simulated sample desktop with the Dock
// preview panel open over an application's Dock icon (its windows' cards, the first one under the
// pointer) into a PNG, for the README and for reviewing the look. The icon is found the way the
// Dock code finds it, through the Dock's Accessibility tree.
//
//   velvix_dock_preview_render OUT.png [BUNDLE_ID]   (default com.apple.TextEdit)

#include <iostream>
#include <string>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>

#include "Bridge/AXWindowBridge.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Qt/QtImageConversion.hpp"
#include "Platform/Qt/SimDesktopView.hpp"
#include "Platform/Simulated/SampleDesktop.hpp"
#include "Support/AppIcon.hpp"
#include "Support/DockObserver.hpp"
#include "Support/RunningApps.hpp"
#include "Support/WindowList.hpp"
#include "TestSupport/AppWorld.hpp"
#include "UI/DockPreviewPanel.hpp"
#include "UI/PreviewCard.hpp"

using namespace velvix;

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (argc < 2) {
    std::cerr << "usage: velvix_dock_preview_render OUT.png [BUNDLE_ID]\n";
    return 2;
  }
  const std::string bundleID = argc > 2 ? argv[2] : "com.apple.TextEdit";
  QApplication application(argc, argv);
  test::AppWorld world;
  sim::SampleDesktop::load(world.desktop, sim::SampleDesktop::builtIn());
  world.launch();
  world.pause(1);
  qt::SimDesktopView view(world.desktop);
  view.resize(1440, 900);
  Services& services = world.services();
  services.placement = &view;

  std::optional<DockObserver::Item> icon;
  for (const auto& item : DockObserver(services).applicationItems())
    if (item.bundleID == bundleID) icon = item;
  const auto app = services.runningApps->first(bundleID);
  if (!icon || !app) {
    std::cerr << bundleID << " has no icon in the Dock or does not run\n";
    return 1;
  }
  world.desktop.pointer = {icon->frame.midX(), icon->frame.midY()};

  // The application's windows as the previews list them: on screen, or off screen with a title.
  std::set<std::int64_t> minimized;
  if (auto states = services.ax->windowStatesIfEnumerable(app->pid))
    for (const auto& state : *states)
      if (state.minimized) minimized.insert(state.number);
  std::vector<DockPreviewPanel::Preview> previews;
  for (const auto& w : services.windows->realWindows(false)) {
    if (w.pid != app->pid || (!w.isOnScreen && w.title.value_or("").empty())) continue;
    const std::string key = "win:" + bundleID + ":" + std::to_string(w.windowNumber);
    services.thumbnails->captureWindow(w.windowNumber, app->pid, {key}, true);
    world.pause(1);
    DockPreviewPanel::Preview preview{w.windowNumber, std::nullopt, w.title.value_or(""),
                                      minimized.contains(w.windowNumber)};
    if (auto still = services.thumbnails->images.find(key); still != services.thumbnails->images.end()) {
      preview.image = still->second.image;
    } else {
      preview.image = services.appIcons->icon(bundleID, app->pid);
    }
    previews.push_back(std::move(preview));
  }

  DockPreviewPanel panel(services);
  panel.show(previews, icon->frame, false, {}, {});
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == DockPreviewPanel::kPanelName)
      if (auto* first = top->findChild<PreviewCard*>(
              QString("velvix.dock.card.%1").arg(previews.empty() ? 0 : previews.front().windowNumber))) {
        QEnterEvent enter(QPointF(20, 20), QPointF(20, 20), QPointF(20, 20));
        QApplication::sendEvent(first, &enter);
      }

  QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  view.render(&image);
  if (auto frame = panel.frame())
    if (auto still = panel.snapshot(1.0)) {
      QPainter p(&image);
      const QPointF at = view.toView(frame->origin());
      p.drawImage(QRectF(at, QSizeF(frame->width, frame->height)), qt::toQImage(*still));
    }
  if (!image.save(QString::fromStdString(argv[1]))) {
    std::cerr << "cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
