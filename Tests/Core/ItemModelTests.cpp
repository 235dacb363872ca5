#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Bridge/BrowserBridge.hpp"
#include "Core/SwitchableItem.hpp"
#include "Core/TabPack.hpp"
#include "Support/Browser.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using Json = nlohmann::json;

TEST(Browser, MatchesBundleIdentifiersAndRawNamesExactly) {
  EXPECT_EQ(browsers::fromBundleID("com.google.Chrome"), Browser::chrome);
  EXPECT_EQ(browsers::fromBundleID("com.google.chrome"), std::nullopt);
  EXPECT_EQ(browsers::fromBundleID(" com.google.Chrome"), std::nullopt);
  EXPECT_EQ(browsers::fromBundleID("com.todesktop.230313mzl4w4u92"), Browser::cursor);
  EXPECT_EQ(browsers::fromRawValue("Chrome"), std::nullopt);
  EXPECT_EQ(browsers::fromRawValue("void"), Browser::void_);
  for (Browser b : browsers::all()) EXPECT_EQ(browsers::fromRawValue(browsers::rawValue(b)), b);
}

TEST(Browser, TableRowsAndFamilies) {
  EXPECT_EQ(browsers::all().size(), 28u);
  EXPECT_EQ(browsers::appleScriptName(Browser::vscodeInsiders), "Visual Studio Code - Insiders");
  EXPECT_EQ(browsers::dataDir(Browser::arc), "Arc/User Data");
  EXPECT_EQ(browsers::dataDir(Browser::safari), std::nullopt);
  EXPECT_TRUE(browsers::isChromiumFamily(Browser::operaGX));
  EXPECT_FALSE(browsers::isChromiumFamily(Browser::safari));
  EXPECT_FALSE(browsers::isChromiumFamily(Browser::terminal));
  EXPECT_FALSE(browsers::isChromiumFamily(Browser::vscode));
  EXPECT_FALSE(browsers::isEditor(Browser::arc));
  EXPECT_TRUE(browsers::isEditor(Browser::positron));
}

TEST(TabPack, IndicesNoWindowHasReadAsUnknown) {
  for (const Json& index : {Json(INT64_MAX), Json(INT64_MIN), Json(-2), Json(1'000'001), Json(9.0e18)})
    EXPECT_EQ(TabPack::fromJSON(Json{{"tabId", 5}, {"windowId", 7}, {"index", index}})->tabIndex, -1)
        << index;
  EXPECT_EQ(TabPack::fromJSON(Json{{"tabId", 5}, {"windowId", 7}, {"index", 1'000'000}})->tabIndex,
            1'000'000);
}

TEST(Browser, EditorsReportTabsOnlyWhileConnectedBrowsersAlways) {
  test::TestWorld world;
  const BrowserBridge& bridge = world.browserBridge();  // not started: no editor has connected
  EXPECT_TRUE(bridge.reportsTabs(Browser::chrome));
  EXPECT_TRUE(bridge.reportsTabs(Browser::terminal));
  EXPECT_FALSE(bridge.reportsTabs(Browser::vscode));
  EXPECT_FALSE(bridge.reportsTabs(Browser::cursor));
}

TEST(TabPack, NeedsWholeNumberTabAndWindowIdsAndDefaultsTheRest) {
  EXPECT_FALSE(TabPack::fromJSON(Json{{"tabId", "7"}, {"windowId", 1}}));
  EXPECT_FALSE(TabPack::fromJSON(Json{{"tabId", 7}}));
  EXPECT_FALSE(TabPack::fromJSON(Json{{"tabId", 7.5}, {"windowId", 1}}));
  EXPECT_FALSE(TabPack::fromJSON(Json{{"tabId", true}, {"windowId", 1}}));
  EXPECT_FALSE(TabPack::fromJSON(Json{{"tabId", std::uint64_t{1} << 63}, {"windowId", 1}}));  // past int64
  EXPECT_FALSE(TabPack::fromJSON(Json::array({7, 1})));

  auto minimal = TabPack::fromJSON(Json{{"tabId", 7}, {"windowId", 2.0}});
  ASSERT_TRUE(minimal);
  EXPECT_EQ(*minimal, (TabPack{.tabID = 7, .windowID = 2, .tabIndex = -1}));

  auto full = TabPack::fromJSON(Json{{"tabId", 7},
                                     {"windowId", 2},
                                     {"index", 3},
                                     {"title", "Docs"},
                                     {"url", "https://a.example/"},
                                     {"favIconUrl", "https://a.example/i.png"},
                                     {"isPrivate", true},
                                     {"active", true},
                                     {"redacted", "yes"},
                                     {"extra", 1}});
  ASSERT_TRUE(full);
  EXPECT_EQ(full->tabIndex, 3);
  EXPECT_EQ(full->title, "Docs");
  EXPECT_EQ(full->favIconURL, "https://a.example/i.png");
  EXPECT_TRUE(full->isPrivate);
  EXPECT_TRUE(full->active);
  EXPECT_FALSE(full->redacted);  // not a Boolean
}

TEST(SwitchableItem, AppItemAndIds) {
  platform::RunningApplication app{.pid = 42, .bundleIdentifier = "com.apple.TextEdit"};
  auto item = SwitchableItem::appItem(app, 100.0);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->id, "app:com.apple.TextEdit");
  EXPECT_EQ(item->title, "com.apple.TextEdit");  // no localised name
  EXPECT_EQ(item->pid, 42);
  EXPECT_EQ(item->lastActivatedAt, 100.0);
  EXPECT_FALSE(item->browser);
  EXPECT_FALSE(item->seeded);

  app.bundleIdentifier.reset();
  EXPECT_FALSE(SwitchableItem::appItem(app, 0));
  EXPECT_EQ(SwitchableItem::windowItemID("com.apple.TextEdit", 4711), "win:com.apple.TextEdit:4711");
}

}  // namespace
}  // namespace velvix
