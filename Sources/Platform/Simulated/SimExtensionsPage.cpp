#include "Platform/Simulated/SimExtensionsPage.hpp"

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimKeyboardLayout.hpp"

namespace velvix::sim {

using platform::AXElement;
using platform::AXError;
using platform::AXValue;
namespace Attr = platform::AXAttribute;

namespace {
constexpr std::uint64_t kKindShift = 56, kPageTag = 6;
constexpr std::uint64_t kSlotMask = (std::uint64_t{1} << kKindShift) - 1;
constexpr std::int64_t kReturn = 36;
enum Slot : std::size_t {
  kWindow = 1,
  kToolbar,
  kWebArea,
  kAhead,
  kMain,
  kDecoyText,
  kShortcuts,
  kDeveloperSwitch,
  kLoadUnpacked,
  kPack,
  kUpdate,
  kSheet,
  kSearch,
  kCancel,
  kGoTo,
  kConfirm,
  kFirstAhead = 100
};

AXElement elementFor(std::size_t slot) {
  return AXElement{(kPageTag << kKindShift) | slot};
}
}  // namespace

bool SimExtensionsPage::isPageElement(AXElement element) {
  return (element.id >> kKindShift) == kPageTag;
}

void SimExtensionsPage::open(platform::Pid pid) {
  if (browser_ != pid) manualAccessibility_ = false;
  browser_ = pid;
  extensionsOpen_ = true;
  panelOpen_ = goToOpen_ = false;
  rebuild();
}

std::size_t SimExtensionsPage::add(std::size_t slot, Node node) {
  nodes_[slot] = std::move(node);
  return slot;
}

void SimExtensionsPage::rebuild() {
  nodes_.clear();
  add(kWindow, {"AXWindow", "AXStandardWindow", "Extensions", ""});
  nodes_[kWindow].children.push_back(add(kToolbar, {"AXToolbar", "", "", ""}));
  const bool shown = !treeNeedsManualAccessibility || manualAccessibility_;
  if (shown && !extensionsOpen_)
    nodes_[kWindow].children.push_back(add(kWebArea, {"AXWebArea", "", "New Tab", ""}));
  if (shown && extensionsOpen_) {
    nodes_[kWindow].children.push_back(add(kWebArea, {"AXWebArea", "", "Extensions", ""}));
    nodes_[kWebArea].children = {add(kAhead, {"AXGroup", "", "", ""}), add(kMain, {"AXGroup", "", "", ""})};
    for (int i = 0; i < elementsAhead; ++i)
      nodes_[kAhead].children.push_back(
          add(kFirstAhead + i, {"AXStaticText", "", "", "item " + std::to_string(i)}));
    // Decoys: a label that names the developer mode but is no switch, and buttons that are not
    // the one looked for.
    std::vector<std::size_t> controls{
        add(kDecoyText, {"AXStaticText", "", "", "Developer mode lets you load unpacked extensions"}),
        add(kShortcuts, {"AXButton", "", "Keyboard shortcuts", ""})};
    if (hasDeveloperSwitch)
      controls.push_back(add(kDeveloperSwitch, {"AXCheckBox", "AXSwitch", "Developer mode",
                                                developerMode ? "1" : "0", Control::developerSwitch}));
    if (developerMode) {
      if (hasLoadUnpacked)
        controls.push_back(add(kLoadUnpacked, {"AXButton", "", "Load unpacked", "", Control::loadUnpacked}));
      controls.push_back(add(kPack, {"AXButton", "", "Pack extension", ""}));
      controls.push_back(add(kUpdate, {"AXButton", "", "Update", ""}));
    }
    nodes_[kMain].children = controls;
  }
  if (panelOpen_) {
    nodes_[kWindow].children.push_back(add(kSheet, {"AXSheet", "", "Open", ""}));
    std::vector<std::size_t> parts{add(kSearch, {"AXTextField", "AXSearchField", "Search", ""}),
                                   add(kCancel, {"AXButton", "", "Cancel", "", Control::cancel})};
    if (goToOpen_)
      parts.push_back(add(kGoTo, {"AXTextField", "", "Go to the folder:", goToText_, Control::goToField}));
    if (hasConfirmButton)
      parts.push_back(add(kConfirm, {"AXButton", "", confirmTitle, "", Control::confirm}));
    nodes_[kSheet].children = parts;
  }
}

bool SimExtensionsPage::exists(AXElement element) const {
  return node(element) != nullptr;
}

const SimExtensionsPage::Node* SimExtensionsPage::node(AXElement element) const {
  if (!isPageElement(element) || !browser_) return nullptr;
  auto it = nodes_.find(element.id & kSlotMask);
  return it == nodes_.end() ? nullptr : &it->second;
}

SimExtensionsPage::Control SimExtensionsPage::controlOf(AXElement element) const {
  const Node* n = node(element);
  return n ? n->control : Control::none;
}

bool SimExtensionsPage::copyApplicationAttribute(platform::Pid pid, const std::string& attribute,
                                                 AXValue& value) const {
  if (browser_ != pid || (attribute != Attr::kChildren && attribute != Attr::kWindows)) return false;
  value = std::vector<AXElement>{elementFor(kWindow)};
  return true;
}

bool SimExtensionsPage::setApplicationAttribute(platform::Pid pid, const std::string& attribute,
                                                const AXValue& value) {
  if (attribute != "AXManualAccessibility" && attribute != "AXEnhancedUserInterface") return false;
  const bool* on = std::get_if<bool>(&value);
  if (attribute == "AXManualAccessibility" && on && *on && (!manualAccessibility_ || browser_ != pid)) {
    if (browser_ != pid) extensionsOpen_ = false;
    browser_ = pid;
    manualAccessibility_ = true;
    rebuild();
  }
  return true;
}

AXError SimExtensionsPage::copyAttribute(AXElement element, const std::string& attribute,
                                         AXValue& value) const {
  const Node* n = node(element);
  if (!n) return AXError::invalidElement;
  auto text = [&](const std::string& s) {
    if (s.empty()) return AXError::noValue;
    value = s;
    return AXError::success;
  };
  if (attribute == Attr::kRole) return text(n->role);
  if (attribute == Attr::kSubrole) return text(n->subrole);
  if (attribute == Attr::kTitle) return text(n->title);
  if (attribute == "AXValue") {
    if (n->role == "AXCheckBox") {
      value = std::int64_t{n->value == "1" ? 1 : 0};
      return AXError::success;
    }
    return text(n->value);
  }
  if (attribute == "AXDescription") return AXError::noValue;
  if (attribute == Attr::kChildren) {
    std::vector<AXElement> children;
    for (std::size_t slot : n->children) children.push_back(elementFor(slot));
    value = std::move(children);
    return AXError::success;
  }
  return AXError::attributeUnsupported;
}

AXError SimExtensionsPage::setAttribute(AXElement element, const std::string& attribute,
                                        const AXValue& value) {
  if (!node(element)) return AXError::invalidElement;
  const std::string* text = std::get_if<std::string>(&value);
  if (controlOf(element) != Control::goToField || attribute != "AXValue" || !text)
    return AXError::attributeUnsupported;
  if (fieldRefusesValue) return AXError::failure;
  goToText_ = *text;
  rebuild();
  return AXError::success;
}

AXError SimExtensionsPage::performAction(AXElement element, const std::string& action) {
  if (!node(element)) return AXError::invalidElement;
  if (action != platform::AXAction::kPress) return AXError::actionUnsupported;
  switch (controlOf(element)) {
    case Control::developerSwitch:
      developerMode = !developerMode;
      break;
    case Control::loadUnpacked:
      if (panelAppears) panelOpen_ = true;
      break;
    case Control::confirm:
      confirmPanel();
      break;
    case Control::cancel:
      panelOpen_ = goToOpen_ = false;
      break;
    default:
      return AXError::success;  // a decoy does something else, or nothing
  }
  rebuild();
  return AXError::success;
}

void SimExtensionsPage::confirmPanel() {
  panelOpen_ = goToOpen_ = false;
  if (panelFolder_.empty()) return;
  loadedFolders.push_back(panelFolder_);
  if (onLoadUnpacked) onLoadUnpacked(panelFolder_);
}

std::optional<char> SimExtensionsPage::letter(std::int64_t keyCode) const {
  auto typed = desktop_.keyboardLayout().character(keyCode);
  if (!typed || typed->size() != 1) return std::nullopt;
  return (*typed)[0];
}

void SimExtensionsPage::deliver(platform::Pid frontmost, const platform::InputEvent& event) {
  if (browser_ != frontmost || event.type != platform::EventType::keyDown) return;
  using namespace platform::EventFlag;
  const std::uint64_t mods = event.flags & kModifiers;
  const auto typed = letter(event.keyCode);
  if (!event.text.empty()) {
    if (goToOpen_) goToText_ += event.text;
  } else if (event.keyCode == platform::KeyCode::kEscape) {
    if (goToOpen_) {
      goToOpen_ = false;
    } else {
      panelOpen_ = false;
    }
  } else if (event.keyCode == kReturn) {
    if (goToOpen_) {
      panelFolder_ = goToText_;
      goToOpen_ = false;
    } else if (panelOpen_) {
      confirmPanel();
    }
  } else if (mods == (kCommand | kShift) && typed == 'g') {
    if (panelOpen_ && hasGoToField) {
      goToOpen_ = true;
      goToText_.clear();
    }
  } else if (mods == kCommand && typed == 'r') {
    ++reloads_;
    panelOpen_ = goToOpen_ = false;
  } else {
    return;
  }
  rebuild();
}

}  // namespace velvix::sim
