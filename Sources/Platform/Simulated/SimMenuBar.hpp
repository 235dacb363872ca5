#pragma once
// The menu bar of the simulated desktop: it keeps what the program installed (main menu, status
// item, its image and tool tip) for the desktop window's menu-bar strip to draw and open, and for
// tests to read and choose from, the way a person clicks them.

#include <functional>

#include "Platform/MenuBar.hpp"

namespace velvix::sim {

class SimMenuBar final : public platform::MenuBar {
 public:
  SimMenuBar() = default;
  // `changed` is called when what the strip draws changed.
  explicit SimMenuBar(std::function<void()> changed) : changed(std::move(changed)) {}

  void setMainMenu(std::shared_ptr<platform::Menu> menu) override {
    mainMenu = std::move(menu);
    tell();
  }
  void installStatusItem(std::shared_ptr<platform::Menu> menu) override {
    statusMenu = std::move(menu);
    ++statusItemsInstalled;
    tell();
  }
  void setStatusImage(const platform::StatusImage& image) override {
    statusImage = image;
    tell();
  }
  void setStatusToolTip(std::optional<std::string> toolTip) override { statusToolTip = std::move(toolTip); }
  // What the desktop window draws again only when told.
  std::function<void()> changed;

  // A click on the status item: the menu updates itself, then shows. Null without a status item.
  platform::Menu* openStatusMenu() {
    if (!statusMenu) return nullptr;
    if (statusMenu->willOpen) statusMenu->willOpen();
    return statusMenu.get();
  }
  // Opens the status menu and chooses a visible, enabled item; false when it cannot be chosen.
  bool chooseStatusItem(const std::string& title) {
    platform::Menu* menu = openStatusMenu();
    return menu && menu->choose(title);
  }

  std::shared_ptr<platform::Menu> mainMenu;
  std::shared_ptr<platform::Menu> statusMenu;
  int statusItemsInstalled = 0;
  std::optional<platform::StatusImage> statusImage;
  std::optional<std::string> statusToolTip;

 private:
  void tell() {
    if (changed) changed();
  }
};

}  // namespace velvix::sim
