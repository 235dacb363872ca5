#include "Bridge/SafariTabNaming.hpp"

#include <algorithm>

namespace velvix::SafariTabNaming {

bool needsNaming(const std::vector<SyncedWindow>& windows) {
  for (const auto& window : windows)
    for (const auto& tab : window.tabs)
      if (tab.redacted && !tab.isPrivate) return true;
  return false;
}

int name(std::vector<SyncedWindow>& windows, const std::vector<AppleScriptBridge::FrontTab>& answers) {
  std::vector<std::size_t> unclaimed;
  for (std::size_t i = 0; i < answers.size(); ++i) unclaimed.push_back(i);
  int matched = 0;
  for (auto& window : windows) {
    if (window.tabs.empty()) continue;
    auto active =
        std::find_if(window.tabs.begin(), window.tabs.end(), [](const TabPack& t) { return t.active; });
    TabPack& tab = active != window.tabs.end() ? *active : window.tabs.front();
    if (!tab.redacted || tab.isPrivate) continue;
    const auto position = tab.tabIndex + 1;

    std::vector<std::size_t> candidates;
    if (window.focused && !unclaimed.empty() && unclaimed.front() == 0) {
      if (answers[0].position == position) candidates.push_back(0);
    } else {
      for (std::size_t i : unclaimed) {
        const auto& answer = answers[i];
        if (answer.position != position) continue;
        if (window.tabs.size() >= 2 && static_cast<std::size_t>(answer.tabCount) != window.tabs.size())
          continue;
        candidates.push_back(i);
      }
    }
    if (candidates.size() != 1) continue;
    std::erase(unclaimed, candidates.front());
    tab.url = answers[candidates.front()].url;
    tab.title = answers[candidates.front()].title;
    tab.redacted = false;
    ++matched;
  }
  return matched;
}

}  // namespace velvix::SafariTabNaming
