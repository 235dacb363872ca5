#include "UI/AppWindow.hpp"

#include <algorithm>
#include <cctype>

#include "Core/MRUManager.hpp"
#include "Core/Services.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Application.hpp"
#include "Platform/MainLoop.hpp"

namespace velvix {

AppWindow::AppWindow(Services& services, const std::string& title, Rect frame, bool miniaturizable)
    : services_(services), miniaturizable_(miniaturizable) {
  number_ = services_.application->createWindow(title, frame);
  // However the window becomes key (a click, its application activated, the switcher), it is
  // remembered then.
  services_.application->setBecameKeyHandler(number_, [this] { becomeKey(); });
}

AppWindow::~AppWindow() {
  if (open_) close();
}

std::optional<std::string> AppWindow::switcherItemID() const {
  const std::string bundleID = services_.workspace->ownBundleIdentifier();
  if (bundleID.empty()) return std::nullopt;
  return SwitchableItem::windowItemID(bundleID, number_);
}

bool AppWindow::performKeyEquivalent(const platform::InputEvent& event, const std::string& characters) {
  // Only Command itself: Caps Lock and the other modifiers count as different chords.
  const std::uint64_t flags = event.flags & ~std::uint64_t{0xFFFF};
  if (flags != platform::EventFlag::kCommand) return false;
  std::string key = characters;
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  if (key == "w") {
    close();
    return true;
  }
  if (key == "m" && miniaturizable_) {
    performMiniaturize();
    return true;
  }
  return false;
}

void AppWindow::makeKeyAndOrderFront() {
  services_.application->makeKeyAndOrderFront(number_);
  rememberInSwitcher();
}

void AppWindow::becomeKey() {
  rememberInSwitcher();
}

void AppWindow::performMiniaturize() {
  services_.application->miniaturize(number_);
}

void AppWindow::close() {
  if (!open_) return;
  open_ = false;
  services_.application->setBecameKeyHandler(number_, {});
  if (auto id = switcherItemID()) services_.mru->removeItem(*id);  // drops its picture too
  services_.application->closeWindow(number_);
  // The owner may drop its references here; the hook is moved out first so it outlives the call.
  if (auto hook = std::move(onClose)) hook();
}

void AppWindow::rememberInSwitcher() {
  auto id = switcherItemID();
  if (!id || !open_) return;
  SwitchableItem item;
  item.id = *id;
  item.kind = ItemKind::app;
  item.bundleID = services_.workspace->ownBundleIdentifier();
  item.windowNumber = number_;
  const auto title = services_.application->windowTitle(number_).value_or("");
  item.title = title.empty() ? item.bundleID : title;
  item.lastActivatedAt = services_.loop->now();
  item.pid = services_.workspace->ownPid();
  services_.mru->upsertApp(item);
}

}  // namespace velvix
