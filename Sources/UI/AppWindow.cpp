#include "UI/AppWindow.hpp"

#include <algorithm>
#include <cctype>

#include "Core/MRUManager.hpp"
#include "Core/ThumbnailStore.hpp"
#include "Platform/Application.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Workspace.hpp"

namespace velvix {

AppWindow::AppWindow(platform::Application& application, platform::Workspace& workspace, MRUManager& mru,
                     platform::MainLoop& loop, const std::string& title, Rect frame, bool miniaturizable)
    : application_(application),
      workspace_(workspace),
      mru_(mru),
      loop_(loop),
      miniaturizable_(miniaturizable) {
  number_ = application_.createWindow(title, frame);
  // However the window becomes key (a click, its application activated, the switcher), it is
  // remembered then.
  application_.setBecameKeyHandler(number_, [this] { becomeKey(); });
}

AppWindow::~AppWindow() {
  if (open_) close();
}

std::optional<std::string> AppWindow::switcherItemID() const {
  const std::string bundleID = workspace_.ownBundleIdentifier();
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
  application_.makeKeyAndOrderFront(number_);
  rememberInSwitcher();
}

void AppWindow::becomeKey() {
  rememberInSwitcher();
}

void AppWindow::performMiniaturize() {
  application_.miniaturize(number_);
}

void AppWindow::close() {
  if (!open_) return;
  open_ = false;
  application_.setBecameKeyHandler(number_, {});
  if (auto id = switcherItemID()) mru_.removeItem(*id);  // drops its picture too
  application_.closeWindow(number_);
  // The owner may drop its references here; the hook is moved out first so it outlives the call.
  if (auto hook = std::move(onClose)) hook();
}

void AppWindow::rememberInSwitcher() {
  auto id = switcherItemID();
  if (!id || !open_) return;
  SwitchableItem item;
  item.id = *id;
  item.kind = ItemKind::app;
  item.bundleID = workspace_.ownBundleIdentifier();
  item.windowNumber = number_;
  const auto title = application_.windowTitle(number_).value_or("");
  item.title = title.empty() ? item.bundleID : title;
  item.lastActivatedAt = loop_.now();
  item.pid = workspace_.ownPid();
  mru_.upsertApp(item);
}

}  // namespace velvix
