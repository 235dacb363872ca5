#include <gtest/gtest.h>

#include "Core/BadgeStore.hpp"
#include "Platform/Simulated/SimBundleReader.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using test::TestWorld;
using Badges = std::map<std::string, std::string>;

// Counts the bundles opened, so the path memory can be checked.
class CountingBundles final : public platform::BundleReader {
 public:
  explicit CountingBundles(const platform::BundleReader& inner) : inner_(inner) {}
  std::optional<std::string> infoString(const std::filesystem::path& bundle,
                                        std::string_view key) const override {
    ++opened[bundle.string()];
    return inner_.infoString(bundle, key);
  }
  std::optional<std::vector<std::string>> folderEntries(const std::filesystem::path& bundle,
                                                        std::string_view folder) const override {
    return inner_.folderEntries(bundle, folder);
  }
  mutable std::map<std::string, int> opened;

 private:
  const platform::BundleReader& inner_;
};

struct DockWorld : TestWorld {
  DockWorld() { desktop.dock().start(); }
  platform::Pid mail = desktop.launch({.bundleID = "com.apple.mail", .name = "Mail"});
  platform::Pid chrome = desktop.launch({.bundleID = "com.google.Chrome", .name = "Google Chrome"});
  sim::SimDock& dock = desktop.dock();
  std::uint64_t mailIcon = dock.addApplication(mail, "3");
  std::uint64_t chromeIcon = dock.addApplication(chrome);
  // Starts the store and lets its first refresh and one more tick pass.
  void startBadges() {
    badges().start();
    loop.advance(BadgeStore::kRefreshInterval);
  }
  void tick() { loop.advance(BadgeStore::kRefreshInterval); }
};

SwitchableItem entry(ItemKind kind, std::string bundleID, std::string title) {
  SwitchableItem item;
  item.kind = kind;
  item.bundleID = std::move(bundleID);
  item.title = std::move(title);
  return item;
}

TEST(BadgeStore, TitleCountsInParenthesesOrBracketsAtTheStart) {
  EXPECT_EQ(BadgeStore::titleBadge("(3) Inbox"), "3");
  EXPECT_EQ(BadgeStore::titleBadge("[12] Pull requests"), "12");
  EXPECT_EQ(BadgeStore::titleBadge("(99+) Chat"), "99+");
  EXPECT_EQ(BadgeStore::titleBadge("(\uFF17) \u53D7\u4FE1"), "\uFF17");  // a full-width seven
  EXPECT_EQ(BadgeStore::titleBadge("(\u0663)"), "\u0663");               // an Arabic-Indic three
  for (const char* title : {"(+3) Inbox", "(1000) Inbox", "() Inbox", "(ab) Inbox", "Inbox (3)", "(3] Inbox",
                            "", "3 Inbox", "[a1] x", "(1+a) x"})
    EXPECT_EQ(BadgeStore::titleBadge(title), std::nullopt) << title;
}

TEST(BadgeStore, DockBadgesAppearAndChangeWithTheDock) {
  DockWorld w;
  int told = 0;
  auto subscription = w.badges().observe([&] { ++told; });
  w.badges().start();
  EXPECT_EQ(w.badges().badges(), (Badges{{"com.apple.mail", "3"}}));
  EXPECT_EQ(told, 1);

  w.dock.setBadge(w.chromeIcon, "1");
  w.dock.setBadge(w.mailIcon, "4");
  w.loop.advance(BadgeStore::kRefreshInterval - 0.1);
  EXPECT_EQ(w.badges().badges().at("com.apple.mail"), "3");  // not read before the next tick
  w.loop.advance(0.1);
  EXPECT_EQ(w.badges().badges(), (Badges{{"com.apple.mail", "4"}, {"com.google.Chrome", "1"}}));

  w.tick();  // nothing changed: observers are not told
  EXPECT_EQ(told, 2);
  w.dock.setBadge(w.mailIcon, "");  // an empty label is no badge
  w.dock.setBadge(w.chromeIcon, std::nullopt);
  w.tick();
  EXPECT_TRUE(w.badges().badges().empty());
  EXPECT_EQ(told, 3);
}

TEST(BadgeStore, WindowsShowTheirApplicationsBadgeAndTabsOnlyTheirTitleCount) {
  DockWorld w;
  w.dock.setBadge(w.chromeIcon, "7");
  w.startBadges();
  EXPECT_EQ(w.badges().badge(entry(ItemKind::app, "com.apple.mail", "Inbox")), "3");
  EXPECT_EQ(w.badges().badge(entry(ItemKind::app, "com.apple.TextEdit", "Notes")), std::nullopt);
  EXPECT_EQ(w.badges().badge(entry(ItemKind::tab, "com.google.Chrome", "Docs")), std::nullopt);
  EXPECT_EQ(w.badges().badge(entry(ItemKind::tab, "com.google.Chrome", "(2) Mail")), "2");
}

TEST(BadgeStore, TheLaterOfTwoIconsOfOneApplicationWinsAndOtherIconsCountToo) {
  DockWorld w;
  w.dock.addApplication(w.mail, "5");
  w.dock.add({.kind = sim::SimDockItem::Kind::folder,
              .title = "Downloads",
              .url = "file:///Users/me/Downloads/",
              .statusLabel = "2"});
  w.dock.add({.kind = sim::SimDockItem::Kind::application,
              .title = "Web",
              .url = "https://example.com/",
              .statusLabel = "9"});
  w.startBadges();
  EXPECT_EQ(w.badges().badges(), (Badges{{"com.apple.mail", "5"}}));
}

TEST(BadgeStore, BadgesStandStillWhileThumbnailsAreOffTheUserIsIdleOrTheDockIsGone) {
  DockWorld w;
  w.startBadges();
  w.dock.setBadge(w.mailIcon, "8");
  w.preferences().showThumbnails.set(false);
  w.tick();
  EXPECT_EQ(w.badges().badge(entry(ItemKind::app, "com.apple.mail", "")), "3");
  w.preferences().showThumbnails.set(true);
  w.desktop.setIdle(BadgeStore::kIdleLimit);
  w.tick();
  EXPECT_EQ(w.badges().badges().at("com.apple.mail"), "3");
  w.desktop.setIdle(0);
  w.desktop.accessibilityTrusted = false;
  w.tick();
  EXPECT_EQ(w.badges().badges().at("com.apple.mail"), "3");
  w.desktop.accessibilityTrusted = true;
  w.dock.quit();
  w.tick();
  EXPECT_EQ(w.badges().badges().at("com.apple.mail"), "3");
  w.dock.start();
  w.tick();
  EXPECT_EQ(w.badges().badges().at("com.apple.mail"), "8");
}

TEST(BadgeStore, AHungDockCostsAtMostItsTimeOutAndYieldsNoBadges) {
  DockWorld w;
  w.startBadges();
  w.desktop.app(*w.dock.pid())->axUnresponsive = true;
  const double before = w.loop.uptime();
  w.tick();
  // One unanswered message (the Dock's children) at the 0.25 s time-out, and nothing more.
  EXPECT_NEAR(w.loop.uptime() - before, BadgeStore::kRefreshInterval + BadgeStore::kDockMessagingTimeout,
              0.05);
  EXPECT_TRUE(w.badges().badges().empty());
}

TEST(BadgeStore, EachBundleIsOpenedOnceEvenWhenItCannotBeOpened) {
  DockWorld w;
  CountingBundles counting(w.desktop.bundles());
  BadgeStore badges(w.desktop.accessibility(), counting, w.desktop.workspace(), w.appMonitor(),
                    w.preferences(), w.loop);
  w.dock.add({.title = "Gone", .url = "file:///Applications/Gone.app/", .statusLabel = "1"});
  badges.start();
  for (int i = 0; i < 3; ++i) w.tick();
  EXPECT_EQ(counting.opened["/Applications/Gone.app"], 1);
  EXPECT_EQ(counting.opened["/Applications/Mail.app"], 1);
  EXPECT_EQ(badges.badges(), (Badges{{"com.apple.mail", "3"}}));
}

}  // namespace
}  // namespace velvix
