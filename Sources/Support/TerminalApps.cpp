#include "Support/TerminalApps.hpp"

#include <functional>
#include <unordered_map>

#include "Platform/Workspace.hpp"

namespace velvix::TerminalApps {

const std::vector<Terminal>& all() {
  static const std::vector<Terminal> kTable = {
      {"com.apple.Terminal", "Terminal", true},   {"com.googlecode.iterm2", "iTerm2", true},
      {"com.mitchellh.ghostty", "Ghostty", true}, {"com.github.wez.wezterm", "WezTerm", true},
      {"org.alacritty", "Alacritty", true},       {"net.kovidgoyal.kitty", "kitty", true},
      {"co.zeit.hyper", "Hyper", false},          {"org.tabby", "Tabby", false},
  };
  return kTable;
}

const Terminal* terminal(std::optional<std::string_view> bundleID) {
  // Built once; keys view the table's own strings, so a lookup copies nothing.
  static const std::unordered_map<std::string_view, const Terminal*> kByBundleID = [] {
    std::unordered_map<std::string_view, const Terminal*> map;
    for (const auto& row : all()) map.emplace(row.bundleID, &row);
    return map;
  }();
  if (!bundleID) return nullptr;
  auto it = kByBundleID.find(*bundleID);
  return it == kByBundleID.end() ? nullptr : it->second;
}

std::vector<Terminal> installed(const platform::Workspace& workspace) {
  std::vector<Terminal> found;
  for (const auto& row : all())
    if (!workspace.applicationPaths(row.bundleID).empty()) found.push_back(row);
  return found;
}

}  // namespace velvix::TerminalApps
