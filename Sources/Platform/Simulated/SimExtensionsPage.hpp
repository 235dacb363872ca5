#pragma once
// The extensions page of a simulated Chromium browser ("chrome://extensions"), as its
// Accessibility tree shows it: the browser window with its web area, the "Developer mode"
// switch, the developer buttons ("Load unpacked" among decoys) once developer mode is on, and,
// after "Load unpacked", the file panel (a sheet) with its search field, its go-to-folder field
// (Command-Shift-G) and its confirm button. Keys reach it while the browser is frontmost, read
// through the current keyboard layout. A confirmed panel loads the folder it shows. Tests shape
// it: a bare tree until manual Accessibility is switched on, thousands of elements ahead of the
// buttons, missing controls, a field that refuses its value.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Accessibility.hpp"
#include "Platform/InputEvent.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::sim {

class SimDesktop;

class SimExtensionsPage {
 public:
  static constexpr const char* kAddress = "chrome://extensions";

  explicit SimExtensionsPage(SimDesktop& desktop) : desktop_(desktop) {}

  // ---- how the page behaves (tests change these before the run)
  bool treeNeedsManualAccessibility = true;  // the web area appears once "AXManualAccessibility" is set
  bool hasDeveloperSwitch = true;
  bool developerMode = false;
  bool hasLoadUnpacked = true;
  int elementsAhead = 0;  // elements a breadth-first search meets before the page's controls
  bool panelAppears = true;
  bool hasGoToField = true;
  bool fieldRefusesValue = false;  // setting "AXValue" fails; typed text still lands
  std::string confirmTitle = "Select";
  bool hasConfirmButton = true;
  // A folder chosen in a confirmed panel is loaded (the extension then starts and connects).
  std::function<void(const std::string& folder)> onLoadUnpacked;

  // ---- what happened
  std::optional<platform::Pid> browser() const { return browser_; }
  bool isOpen() const { return extensionsOpen_; }
  bool panelOpen() const { return panelOpen_; }
  const std::string& goToText() const { return goToText_; }
  int reloads() const { return reloads_; }
  std::vector<std::string> loadedFolders;

  // The browser `pid` shows the page (opened by address). Before that, a browser whose manual
  // Accessibility was switched on shows a blank page's web area.
  void open(platform::Pid pid);

  // ---- Accessibility, for the desktop's facade
  static bool isPageElement(platform::AXElement element);
  bool exists(platform::AXElement element) const;
  // Attributes of the browser's application element the page answers ("AXChildren"); false when
  // it has nothing to say about `pid`.
  bool copyApplicationAttribute(platform::Pid pid, const std::string& attribute,
                                platform::AXValue& value) const;
  bool setApplicationAttribute(platform::Pid pid, const std::string& attribute,
                               const platform::AXValue& value);
  platform::AXError copyAttribute(platform::AXElement element, const std::string& attribute,
                                  platform::AXValue& value) const;
  platform::AXError setAttribute(platform::AXElement element, const std::string& attribute,
                                 const platform::AXValue& value);
  platform::AXError performAction(platform::AXElement element, const std::string& action);

  // ---- keys that reach the frontmost application
  void deliver(platform::Pid frontmost, const platform::InputEvent& event);

 private:
  enum class Control { none, developerSwitch, loadUnpacked, goToField, confirm, cancel };
  struct Node {
    std::string role, subrole, title, value;
    Control control = Control::none;
    std::vector<std::size_t> children;
  };
  // Elements keep their identity while they are shown, as a browser's do: each has a fixed slot.
  void rebuild();
  std::size_t add(std::size_t slot, Node node);
  const Node* node(platform::AXElement element) const;
  Control controlOf(platform::AXElement element) const;
  void confirmPanel();
  std::optional<char> letter(std::int64_t keyCode) const;

  SimDesktop& desktop_;
  std::optional<platform::Pid> browser_;
  bool manualAccessibility_ = false;
  bool extensionsOpen_ = false;
  bool panelOpen_ = false;
  bool goToOpen_ = false;
  std::string goToText_;
  std::string panelFolder_;
  int reloads_ = 0;
  std::map<std::size_t, Node> nodes_;  // slot 1: the browser window
};

}  // namespace velvix::sim
