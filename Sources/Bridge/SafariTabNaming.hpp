#pragma once
// Safari's extension withholds the address and title of tabs on sites it may not read. Apple
// Events still see the front tab of every Safari window; this matches those answers to the
// reported windows by position and tab count, and names a withheld tab only when exactly one
// answer fits it.

#include <vector>

#include "Bridge/AppleScriptBridge.hpp"
#include "Core/TabPack.hpp"

namespace velvix::SafariTabNaming {

// Some tab is withheld (redacted) and not private.
bool needsNaming(const std::vector<SyncedWindow>& windows);

// Names the current tab of each window from `answers` (front window first); each answer names
// at most one window, and a focused window matches only the front window's answer while that
// one is unclaimed. Returns how many tabs were named.
int name(std::vector<SyncedWindow>& windows, const std::vector<AppleScriptBridge::FrontTab>& answers);

}  // namespace velvix::SafariTabNaming
