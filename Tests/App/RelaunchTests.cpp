#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Support/SupportFolder.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix {
namespace {

std::vector<std::vector<std::string>> records(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream cut(line);
    for (std::string field; std::getline(cut, field, '\t');) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

// "Restart Velvix" starts the program again for real: a new process with the same arguments and
// environment, started only once the old one has quit cleanly and given Command-Tab back.
TEST(Relaunch, RestartStartsTheProgramAgainAsItWasStartedOnceTheOldOneHasQuit) {
  test::TempFolder home;
  const auto record = home.path() / "runs";
  test::ChildProcess first(std::string(VELVIX_BINARY_DIR) + "/velvix_test_relaunch",
                           {record.string(), "--an option", "it's $HOME"},
                           {{"VELVIX_HOME", home.path().string()}, {"VELVIX_RELAUNCH_MARK", "kept"}});
  EXPECT_EQ(first.waitForExit(), 0);
  ASSERT_TRUE(test::eventually([&] { return records(record).size() == 2; })) << records(record).size();
  const auto runs = records(record);
  ASSERT_EQ(runs[0].size(), 4u);
  ASSERT_EQ(runs[1].size(), 5u);
  EXPECT_EQ(runs[0][0], std::to_string(first.pid()));
  EXPECT_EQ(runs[0][3], "00");  // the first run owned Command-Tab
  EXPECT_NE(runs[1][0], runs[0][0]);
  EXPECT_EQ(runs[1][1], "--an option|it's $HOME");
  EXPECT_EQ(runs[1][1], runs[0][1]);
  EXPECT_EQ(runs[1][2], "kept");
  EXPECT_EQ(runs[1][3], "11");  // given back before the new run started
  EXPECT_EQ(runs[1][4], "gone");
  std::ifstream health(SupportFolder::path(home.path()) / "health.log");
  const std::string log{std::istreambuf_iterator<char>(health), {}};
  EXPECT_TRUE(log.ends_with("Z quit\n")) << log;
}

}  // namespace
}  // namespace velvix
