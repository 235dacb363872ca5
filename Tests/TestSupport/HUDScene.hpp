#pragma once
// A switcher HUD on a simulated desktop, for tests and for pictures of its look: applications,
// windows and browser tabs whose entries a test lists, their pictures in the thumbnail cache, and
// a HUDController over them that drags tabs by the tab mover's rules. Named scenes (icon row,
// thumbnail grid, a tab drag, a long list) and lists read from JSON serve the render program.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <nlohmann/json.hpp>

#include "Core/SwitchableItem.hpp"
#include "TestSupport/TestWorld.hpp"
#include "UI/HUDController.hpp"
#include "UI/HUDModel.hpp"

namespace velvix::test {

// The tab mover's rules: an extension-reported tab of a Chromium-family browser can be dragged,
// and dropped onto another such tab of the same browser, privacy and profile session. (The
// mover also wants the browser's extension connected; scenes leave that out.)
bool tabMoverCanDrag(const SwitchableItem& item);
bool tabMoverCanDrop(const SwitchableItem& dragged, const SwitchableItem& target);

struct WindowOptions {
  Size size{800, 500};
  bool minimized = false;
  bool still = true;  // the thumbnail cache holds a picture of it
};

class HUDScene {
 public:
  HUDScene();
  ~HUDScene();

  TestWorld world;

  // An application entry; the application is launched on first mention.
  SwitchableItem application(const std::string& bundleID, const std::string& name);
  // A window entry with a window of its own on the desktop.
  SwitchableItem window(const std::string& bundleID, const std::string& name, const std::string& title,
                        WindowOptions options = {});
  // A tab reported by the browser's extension, in the browser window named `windowID` (made on
  // first mention, with a picture).
  SwitchableItem tab(Browser browser, const std::string& windowID, std::int64_t tabID,
                     const std::string& title, const std::string& url);
  // Serves a small site icon for the page's host.
  void serveSiteIcon(const std::string& url);
  // Puts the label on the application's Dock icon and lets the badge store read it.
  void dockBadge(const std::string& bundleID, const std::string& label);

  HUDController& hud();
  // Shows the list and lets pictures, icons and the live frame arrive.
  void show(const std::vector<SwitchableItem>& items, int selectedIndex);
  // Drags the tab in cell `source` over cell `target` (the button stays down).
  void dragOver(int source, int target);

  // The panel as drawn now (transparent around it).
  QImage picture(double scale = 2.0);
  // The panel over the stand-in desktop, written as a PNG; false when nothing could be written.
  bool save(const std::filesystem::path& path, double scale = 2.0);

  // ---- the render program's scenes
  static std::vector<std::string> sceneNames();
  // Builds and shows a named scene; false for an unknown name.
  bool showScene(const std::string& name);
  // Builds and shows a list given as JSON: an array of entries, each an object with "kind"
  // ("app", "window" or "tab"), "bundleID", "name", "title", and for tabs "browser", "window",
  // "tab" and "url"; windows may give "minimized", "still" and "aspect". An error text, or nothing.
  std::optional<std::string> showList(const nlohmann::json& list, int selectedIndex);

 private:
  platform::Pid launched(const std::string& bundleID, const std::string& name);
  std::int64_t addWindow(platform::Pid pid, const std::string& title, Size size);
  // Has the thumbnail cache take the window's picture under the key.
  void capture(std::int64_t number, platform::Pid pid, const std::string& key);

  std::map<std::string, platform::Pid> apps_;
  std::map<std::string, std::int64_t> browserWindows_;
  std::unique_ptr<HUDController> hud_;
};

}  // namespace velvix::test
