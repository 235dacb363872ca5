#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Bridge/ExtensionCommand.hpp"

namespace velvix {
namespace {

TEST(ExtensionCommand, CommandsAreCompactWithTheirKeysInOrder) {
  EXPECT_EQ(ExtensionCommand::activate(1234, 56), R"({"cmd":"activate","tabId":1234,"windowId":56})");
  EXPECT_EQ(ExtensionCommand::close(7), R"({"cmd":"close","tabId":7})");
  EXPECT_EQ(ExtensionCommand::move(7, 9), R"({"cmd":"move","tabId":7,"targetTabId":9})");
  EXPECT_EQ(ExtensionCommand::sync(), R"({"cmd":"sync"})");
}

TEST(ExtensionCommand, IdsOfEverySizeReadBackAsTheSameNumbers) {
  for (std::int64_t id : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{1} << 53, INT64_MAX, INT64_MIN}) {
    // ~id is -id - 1 without overflowing at INT64_MIN.
    const auto command = nlohmann::json::parse(ExtensionCommand::activate(id, ~id));
    EXPECT_EQ(command["tabId"].get<std::int64_t>(), id);
    EXPECT_EQ(command["windowId"].get<std::int64_t>(), ~id);
  }
}

}  // namespace
}  // namespace velvix
