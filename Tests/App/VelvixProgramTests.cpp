#include <csignal>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Support/SupportFolder.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The real program, started the way a user starts it, with a home folder of its own.
TEST(VelvixProgram, StartsOverTheSampleDesktopLogsLaunchedAndQuitsOnTerminate) {
  test::TempFolder home;
  const std::string binary = std::string(VELVIX_BINARY_DIR) + "/velvix";
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("VELVIX_HOME", home.path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto health = SupportFolder::path(home.path()) / "health.log";
  const bool launched = test::eventually([&] { return readFile(health).find(" launched\n") != std::string::npos; });
  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(launched) << "no 'launched' line in " << health;
  EXPECT_TRUE(WIFEXITED(status)) << status;
  const std::string log = readFile(health);
  EXPECT_EQ(log.substr(log.size() - 5), "quit\n");
  EXPECT_NE(log.find("Z launched\n"), std::string::npos);
}

}  // namespace
}  // namespace velvix
