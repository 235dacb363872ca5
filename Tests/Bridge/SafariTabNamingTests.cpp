#include <gtest/gtest.h>

#include "Bridge/SafariTabNaming.hpp"

namespace velvix {
namespace {

using Answer = AppleScriptBridge::FrontTab;

// A window whose current tab (at `index`) is withheld, among `count` tabs.
SyncedWindow window(std::int64_t id, std::int64_t index, std::size_t count, bool focused = false) {
  SyncedWindow w{.windowID = id, .focused = focused};
  for (std::size_t i = 0; i < count; ++i)
    w.tabs.push_back({.tabID = id * 10 + static_cast<std::int64_t>(i),
                      .windowID = id,
                      .tabIndex = static_cast<std::int64_t>(i),
                      .active = static_cast<std::int64_t>(i) == index,
                      .redacted = static_cast<std::int64_t>(i) == index});
  return w;
}

const TabPack& current(const SyncedWindow& w) {
  for (const auto& t : w.tabs)
    if (t.active) return t;
  return w.tabs.front();
}

TEST(SafariTabNaming, OnlyWithheldTabsOfNormalWindowsNeedNames) {
  auto shown = window(1, 0, 2);
  shown.tabs[0].redacted = false;
  EXPECT_FALSE(SafariTabNaming::needsNaming({shown}));
  auto secret = window(2, 0, 1);
  secret.tabs[0].isPrivate = true;
  EXPECT_FALSE(SafariTabNaming::needsNaming({shown, secret}));
  EXPECT_TRUE(SafariTabNaming::needsNaming({shown, secret, window(3, 0, 1)}));
}

TEST(SafariTabNaming, AOneTabWindowMatchesAnAnswerAtItsPositionWhateverItsTabCount) {
  std::vector<SyncedWindow> windows{window(1, 0, 1)};
  EXPECT_EQ(
      SafariTabNaming::name(windows, {{"https://a.example/", "A", 2, 3}, {"https://b.example/", "B", 1, 4}}),
      1);
  EXPECT_EQ(current(windows[0]).url, "https://b.example/");
  EXPECT_EQ(current(windows[0]).title, "B");
  EXPECT_FALSE(current(windows[0]).redacted);
}

TEST(SafariTabNaming, AWindowThatTwoAnswersFitStaysUnnamed) {
  std::vector<SyncedWindow> windows{window(1, 1, 3)};
  EXPECT_EQ(
      SafariTabNaming::name(windows, {{"https://a.example/", "A", 2, 3}, {"https://b.example/", "B", 2, 3}}),
      0);
  EXPECT_TRUE(current(windows[0]).redacted);
  EXPECT_EQ(current(windows[0]).url, "");
}

TEST(SafariTabNaming, TheFocusedWindowMatchesOnlyTheFrontWindowAndEachAnswerNamesOneWindow) {
  std::vector<SyncedWindow> windows{window(1, 0, 2, true), window(2, 0, 2), window(3, 0, 2)};
  const std::vector<Answer> answers{{"https://front.example/", "Front", 2, 2},
                                    {"https://back.example/", "Back", 1, 2}};
  // The focused window's tab is first in its window, the front window's is second: no match; the
  // back answer names the first window that fits and no other.
  EXPECT_EQ(SafariTabNaming::name(windows, answers), 1);
  EXPECT_TRUE(current(windows[0]).redacted);
  EXPECT_EQ(current(windows[1]).url, "https://back.example/");
  EXPECT_TRUE(current(windows[2]).redacted);

  std::vector<SyncedWindow> again{window(1, 1, 2, true)};
  EXPECT_EQ(SafariTabNaming::name(again, answers), 1);
  EXPECT_EQ(current(again[0]).url, "https://front.example/");
}

}  // namespace
}  // namespace velvix
