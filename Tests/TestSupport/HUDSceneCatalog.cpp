// The named scenes of HUDScene and lists read from JSON, for the render program and for tests
// that want a realistic HUD.

#include "TestSupport/HUDScene.hpp"

namespace velvix::test {

namespace {

const char* const kScenes[] = {"icons", "thumbnails", "drag", "icons-drag", "long-list"};

}  // namespace

std::vector<std::string> HUDScene::sceneNames() {
  return {std::begin(kScenes), std::end(kScenes)};
}

bool HUDScene::showScene(const std::string& name) {
  const bool thumbnails = name == "thumbnails" || name == "drag";
  world.preferences().showThumbnails.set(thumbnails);
  world.preferences().dragTabsBetweenWindows.set(true);

  if (name == "icons") {
    const std::string notes = "https://releases.example.com/notes";
    serveSiteIcon(notes);
    std::vector<SwitchableItem> items{
        application("com.apple.finder", "Finder"),
        window("com.apple.mail", "Mail", "Inbox"),
        tab(Browser::chrome, "1", 11, "Release notes", notes),
        tab(Browser::chrome, "1", 12, "Project board", "https://board.example.org/"),
        tab(Browser::terminal, "7", 31, "zsh \u2014 ~/src", "/dev/ttys001"),
        tab(Browser::vscode, "9", 41, "main.cpp \u2014 velvix", "file:///src/main.cpp"),
        window("com.apple.TextEdit", "TextEdit", "Notes.txt"),
    };
    items[4].source = TabSource::appleScript;
    dockBadge("com.apple.mail", "3");
    show(items, 2);
    return true;
  }
  if (name == "thumbnails") {
    const std::string chat = "https://chat.example.net/";
    serveSiteIcon(chat);
    std::vector<SwitchableItem> items{
        window("com.apple.TextEdit", "TextEdit", "Letter.rtf", {.size = {800, 600}}),
        window("com.apple.mail", "Mail", "Inbox \u2014 Work", {.size = {1000, 620}}),
        tab(Browser::chrome, "1", 11, "(2) Messages", chat),
        window("com.apple.finder", "Finder", "Downloads", {.size = {760, 480}, .minimized = true}),
        window("com.apple.Terminal", "Terminal", "zsh", {.size = {720, 420}, .still = false}),
        window("com.apple.Preview", "Preview", "Diagram.png", {.size = {500, 700}}),
    };
    dockBadge("com.apple.mail", "12");
    show(items, 1);
    hud().model().setHoverIndex(3);
    return true;
  }
  if (name == "drag" || name == "icons-drag") {
    std::vector<SwitchableItem> items{
        tab(Browser::chrome, "1", 11, "Design review", "https://docs.example.com/review"),
        tab(Browser::chrome, "2", 21, "Team mail", "https://mail.example.com/"),
        tab(Browser::chrome, "2", 22, "Calendar", "https://calendar.example.com/"),
        tab(Browser::chrome, "2", 23, "Maps", "https://maps.example.com/"),
        window("com.apple.mail", "Mail", "Inbox"),
    };
    show(items, 0);
    dragOver(0, 1);
    return true;
  }
  if (name == "long-list") {
    std::vector<SwitchableItem> items;
    for (int i = 0; i < 40; ++i)
      items.push_back(application("com.example.app" + std::to_string(i), "App " + std::to_string(i)));
    show(items, 5);
    return true;
  }
  return false;
}

std::optional<std::string> HUDScene::showList(const nlohmann::json& list, int selectedIndex) {
  if (!list.is_array()) return "the list must be a JSON array of entries";
  std::vector<SwitchableItem> items;
  for (const auto& entry : list) {
    if (!entry.is_object()) return "every entry must be a JSON object";
    const std::string kind = entry.value("kind", "app");
    const std::string bundleID = entry.value("bundleID", "com.example.app");
    const std::string name = entry.value("name", bundleID);
    const std::string title = entry.value("title", name);
    if (kind == "app") {
      items.push_back(application(bundleID, name));
    } else if (kind == "window") {
      const double aspect = entry.value("aspect", 1.6);
      if (!(aspect > 0.05 && aspect < 20)) return "\"aspect\" must lie between 0.05 and 20";
      items.push_back(window(bundleID, name, title,
                             {.size = {600 * aspect, 600},
                              .minimized = entry.value("minimized", false),
                              .still = entry.value("still", true)}));
    } else if (kind == "tab") {
      const auto browser = browsers::fromRawValue(entry.value("browser", "chrome"));
      if (!browser) return "unknown browser \"" + entry.value("browser", std::string()) + "\"";
      const std::string url = entry.value("url", "https://example.com/");
      if (entry.value("siteIcon", false)) serveSiteIcon(url);
      items.push_back(tab(*browser, entry.value("window", "1"), entry.value("tab", 1), title, url));
    } else {
      return "unknown kind \"" + kind + "\"";
    }
  }
  show(items, selectedIndex);
  return std::nullopt;
}

}  // namespace velvix::test
