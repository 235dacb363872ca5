#include <gtest/gtest.h>

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "Platform/Simulated/SimWorkspace.hpp"
#include "Support/TerminalApps.hpp"

namespace velvix {
namespace {

TEST(TerminalApps, AreFoundByTheirExactBundleIdentifierWithTheirFunctionKeySupport) {
  EXPECT_EQ(TerminalApps::terminal(std::nullopt), nullptr);
  EXPECT_EQ(TerminalApps::terminal("com.apple.terminal"), nullptr);
  ASSERT_NE(TerminalApps::terminal("com.apple.Terminal"), nullptr);
  EXPECT_TRUE(TerminalApps::terminal("com.apple.Terminal")->functionKeys);
  ASSERT_NE(TerminalApps::terminal("co.zeit.hyper"), nullptr);
  EXPECT_EQ(TerminalApps::terminal("co.zeit.hyper")->name, "Hyper");
  EXPECT_FALSE(TerminalApps::terminal("co.zeit.hyper")->functionKeys);
  EXPECT_FALSE(TerminalApps::terminal("org.tabby")->functionKeys);
  EXPECT_EQ(TerminalApps::all().size(), 8u);
}

TEST(TerminalApps, InstalledListsOnlyTheTerminalsPresentInTableOrder) {
  sim::SimMainLoop loop;
  sim::SimDesktop desktop{loop, [&](double seconds) { loop.spend(seconds); }};
  EXPECT_TRUE(TerminalApps::installed(desktop.workspace()).empty());
  desktop.install({.bundleID = "org.tabby", .name = "Tabby", .path = "/Applications/Tabby.app"});
  desktop.install({.bundleID = "net.kovidgoyal.kitty", .name = "kitty", .path = "/Applications/kitty.app"});
  std::vector<std::string> names;
  for (const auto& t : TerminalApps::installed(desktop.workspace())) names.push_back(t.name);
  EXPECT_EQ(names, (std::vector<std::string>{"kitty", "Tabby"}));
}

}  // namespace
}  // namespace velvix
