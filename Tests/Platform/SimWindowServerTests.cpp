#include <gtest/gtest.h>

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimMainLoop.hpp"
#include "Platform/Simulated/SimWindowServer.hpp"

namespace velvix {
namespace {

namespace Key = platform::WindowKey;

std::vector<std::string> titles(const std::optional<platform::WindowRows>& rows) {
  std::vector<std::string> names;
  for (const auto& row : rows.value()) names.push_back(row->value(Key::kName, std::string()));
  return names;
}

// A large desktop is read at every chord and poll: each window's row is kept until what it says
// changes, and the list still answers every change as the system's would.
TEST(SimWindowServer, KeepsEachRowUntilItsWindowChangesAndListsEveryChange) {
  sim::SimMainLoop loop;
  sim::SimDesktop desktop(loop);
  const auto mail = desktop.launch({.bundleID = "com.apple.mail", .name = "Mail"});
  const auto inbox = desktop.addWindow(mail, {.title = "Inbox"});
  const auto drafts = desktop.addWindow(mail, {.title = "Drafts", .space = 2});
  const platform::WindowServer& server = desktop.windowServer();

  const auto first = server.windowList(0);
  const auto again = server.windowList(0);
  EXPECT_EQ(titles(first), (std::vector<std::string>{"Drafts", "Inbox"}));
  EXPECT_EQ(first->at(0), again->at(0));  // the same rows, not made again
  EXPECT_EQ(first->at(1), again->at(1));

  desktop.window(inbox)->title = "Inbox (3)";
  const auto renamed = server.windowList(0);
  EXPECT_EQ(titles(renamed), (std::vector<std::string>{"Drafts", "Inbox (3)"}));
  EXPECT_EQ(renamed->at(0), first->at(0));
  EXPECT_EQ(titles(server.windowList(platform::kWindowListOnScreenOnly)),
            std::vector<std::string>{"Inbox (3)"});

  // Another Space shows: the rows say which windows are on screen now.
  desktop.switchSpace(0, 2);
  EXPECT_EQ(titles(server.windowList(platform::kWindowListOnScreenOnly)), std::vector<std::string>{"Drafts"});
  EXPECT_FALSE(server.windowList(0)->at(1)->contains(Key::kIsOnscreen));

  desktop.closeWindow(drafts);
  EXPECT_EQ(titles(server.windowList(0)), std::vector<std::string>{"Inbox (3)"});
  desktop.windowServerFaults.windowListFails = true;
  EXPECT_FALSE(server.windowList(0));
}

}  // namespace
}  // namespace velvix
