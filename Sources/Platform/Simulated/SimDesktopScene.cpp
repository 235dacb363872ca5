#include "Platform/Simulated/SimDesktopScene.hpp"

#include <unordered_map>

#include <utility>

#include "Platform/FileURL.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimScreens.hpp"
#include "Platform/Simulated/SimSystemSettings.hpp"

namespace velvix::sim {

SimDesktopScene SimDesktopScene::build(const SimDesktop& desktop) {
  SimDesktopScene scene;
  scene.screen = desktop.displays().empty() ? Rect{0, 0, 1440, 900} : desktop.displays().front().frame;
  scene.menuBar = {scene.screen.x, scene.screen.y, scene.screen.width, SimScreens::kMenuBarHeight};
  scene.dockStrip = {scene.screen.x, scene.screen.maxY() - SimScreens::kDockHeight, scene.screen.width,
                     SimScreens::kDockHeight};
  const auto front = desktop.frontmostPid();
  if (front)
    if (const SimApp* app = std::as_const(desktop).app(*front))
      scene.menuBarTitle = app->name.value_or(app->bundleID.value_or(""));

  std::optional<std::int64_t> frontWindow;
  if (front)
    for (auto number : desktop.windowsOf(*front)) {
      const SimWindow* w = std::as_const(desktop).window(number);
      if (desktop.isOnScreen(*w) && w->layer == 0) {
        frontWindow = number;
        break;
      }
    }
  const auto& order = desktop.stackingOrder();
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const SimWindow* w = std::as_const(desktop).window(*it);
    if (!w || !desktop.isOnScreen(*w)) continue;
    const SimApp* owner = std::as_const(desktop).app(w->owner);
    std::string content;
    if (const auto& area = w->textArea) {
      // The shell's cursor and region show too.
      content = area->text + "\x1f" + std::to_string(area->cursor.value_or(area->text.size())) + "\x1f" +
                (area->mark ? std::to_string(*area->mark) : std::string());
    }
    // A settings pane shows its switch as the permission stands.
    if (!w->settingsPane.empty())
      content = w->settingsPane + (SimSystemSettings::isOn(desktop, w->settingsPane) ? "\x1fon" : "\x1foff");
    for (const auto& tab : w->tabs) content.append("\x1f").append(tab.title).append("\x1f").append(tab.url);
    if (!w->tabs.empty()) content.append("\x1f").append(std::to_string(w->activeTab));
    scene.windows.push_back({w->number, w->bounds, w->title.value_or(""),
                             owner ? owner->name.value_or("") : std::string(), w->owner,
                             frontWindow == w->number, front == w->owner, std::move(content)});
  }

  // The Dock is drawn from the same icons and frames that it reports through Accessibility, and
  // only while its process runs.
  const SimDock* dock = desktop.dockIfMade();
  if (!dock || !dock->pid()) return scene;
  if (auto strip = dock->strip()) scene.dockStrip = *strip;
  // Each running application's bundle address, made once: a Dock of hundreds of icons is matched
  // against hundreds of applications.
  std::unordered_map<std::string, platform::Pid> running;
  for (const SimApp* app : desktop.apps())
    if (app->bundlePath) running[platform::FileURL::fromPath(*app->bundlePath, true)] = app->pid;
  for (const auto& item : dock->items()) {
    auto frame = dock->frame(item.id);
    if (!frame) continue;
    Tile tile{*frame, item.title, item.statusLabel, std::nullopt, item.window, item.kind};
    tile.pointed = item.kind != SimDockItem::Kind::separator && !item.title.empty() &&
                   frame->contains(desktop.pointer());
    if (item.url)
      if (auto found = running.find(*item.url); found != running.end()) tile.pid = found->second;
    scene.dock.push_back(std::move(tile));
  }
  return scene;
}

const SimDesktopScene::Window* SimDesktopScene::windowAt(Point point) const {
  for (auto it = windows.rbegin(); it != windows.rend(); ++it)
    if (it->frame.contains(point)) return &*it;
  return nullptr;
}

const SimDesktopScene::Window* SimDesktopScene::frontWindow() const {
  for (const auto& w : windows)
    if (w.isFrontWindow) return &w;
  return nullptr;
}

}  // namespace velvix::sim
