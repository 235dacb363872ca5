#pragma once
// A menu as the platform shows it: titled items with a key equivalent, a check mark, enabled and
// hidden flags, an action, or a submenu; and separators. Owners keep the items and change them in
// place; whoever shows the menu reads them each time it opens (after `willOpen`).

#include <cctype>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform/InputEvent.hpp"

namespace velvix::platform {

struct Menu;

struct MenuItem {
  std::string title;
  // The key, as a lower-case character ("q", ","), and the modifiers it needs; empty: none.
  std::string keyEquivalent;
  std::uint64_t keyModifiers = EventFlag::kCommand;
  bool checked = false;
  bool enabled = true;
  bool hidden = false;
  bool separator = false;
  // The responder-chain name of the action, for items that act on whatever is in front
  // ("undo:", "performClose:"); informative for the others.
  std::string selector;
  std::function<void()> action;
  std::shared_ptr<Menu> submenu;

  static std::shared_ptr<MenuItem> makeSeparator() {
    auto item = std::make_shared<MenuItem>();
    item->separator = true;
    return item;
  }
};

struct Menu {
  std::string title;
  std::vector<std::shared_ptr<MenuItem>> items;
  // Called each time the menu is about to open, before its items are read.
  std::function<void()> willOpen;

  // The first item with this title, searching submenus too; null when there is none.
  MenuItem* find(const std::string& itemTitle) const {
    for (const auto& item : items) {
      if (item->title == itemTitle && !item->separator) return item.get();
      if (item->submenu)
        if (MenuItem* inner = item->submenu->find(itemTitle)) return inner;
    }
    return nullptr;
  }
  // Runs the action of the visible, enabled item with this title; false when it cannot be chosen.
  bool choose(const std::string& itemTitle) const {
    MenuItem* item = find(itemTitle);
    if (!item || item->hidden || !item->enabled || !item->action) return false;
    item->action();
    return true;
  }
  // The item whose key equivalent matches a key pressed with these modifiers, searching submenus;
  // Caps Lock and the device bits do not count. Null when none matches.
  MenuItem* itemForKey(const std::string& key, std::uint64_t flags) const {
    const std::uint64_t relevant = flags & EventFlag::kModifiers;
    for (const auto& item : items) {
      if (item->submenu) {
        if (MenuItem* inner = item->submenu->itemForKey(key, flags)) return inner;
        continue;
      }
      if (!item->separator && !item->keyEquivalent.empty() && item->keyEquivalent == key &&
          item->keyModifiers == relevant)
        return item.get();
    }
    return nullptr;
  }
};

// How a key equivalent reads in a menu: "⌘," or "⇧⌘Z".
inline std::string keyEquivalentText(const MenuItem& item) {
  if (item.keyEquivalent.empty()) return {};
  std::string text;
  if (item.keyModifiers & EventFlag::kControl) text += "\u2303";
  if (item.keyModifiers & EventFlag::kOption) text += "\u2325";
  if (item.keyModifiers & EventFlag::kShift) text += "\u21e7";
  if (item.keyModifiers & EventFlag::kCommand) text += "\u2318";
  std::string key = item.keyEquivalent;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text + key;
}

}  // namespace velvix::platform
