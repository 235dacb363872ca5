#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Support/AppIdentity.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix {
namespace {

struct Outcome {
  std::string out;  // standard output
  std::string err;  // standard error
  std::optional<int> status;
};

// Runs a program of the build to its end; the shell keeps its standard error apart in a file.
Outcome run(const std::string& program, const std::vector<std::string>& words,
            std::map<std::string, std::string> environment = {}) {
  test::TempFolder folder;
  const std::string errors = (folder.path() / "errors").string();
  environment["ERRORS"] = errors;
  std::vector<std::string> arguments{"-c", "exec \"$0\" \"$@\" 2>\"$ERRORS\"",
                                     std::string(VELVIX_BINARY_DIR) + "/" + program};
  arguments.insert(arguments.end(), words.begin(), words.end());
  test::ChildProcess child("/bin/sh", arguments, environment);
  Outcome outcome{.out = child.read(1 << 16)};
  outcome.status = child.waitForExit();
  std::ifstream in(errors);
  outcome.err.assign(std::istreambuf_iterator<char>(in), {});
  return outcome;
}

TEST(VelvixCommandLine, HelpVersionAndMistakes) {
  const auto help = run("velvix", {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: velvix"), std::string::npos);
  EXPECT_NE(help.out.find("VELVIX_HOME"), std::string::npos);
  EXPECT_NE(help.out.find("VELVIX_SAMPLE_DESKTOP"), std::string::npos);
  EXPECT_EQ(help.err, "");

  const auto version = run("velvix", {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Velvix 1.0.0 (1)\n");

  for (const auto& words :
       std::vector<std::vector<std::string>>{{"--frobnicate"}, {"extra"}, {"--help", "x"}}) {
    const auto wrong = run("velvix", words);
    EXPECT_EQ(wrong.status, 2) << words[0];
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("usage: velvix"), std::string::npos);
  }
}

// A display that cannot be opened is one line and status 1, not Qt's abort.
TEST(VelvixCommandLine, UnreachableDisplayIsOneLine) {
  test::TempFolder home;
  const auto result = run("velvix", {},
                          {{"DISPLAY", ":7391"},
                           {"WAYLAND_DISPLAY", ""},
                           {"QT_QPA_PLATFORM", "xcb"},
                           {"VELVIX_HOME", home.path().string()}});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("cannot open the display \":7391\""), std::string::npos) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

// Without a display the program says so, and how to stop it, before it runs on.
TEST(VelvixCommandLine, WithoutDisplayItSaysHowToStop) {
  test::TempFolder home;
  test::ChildProcess child("/bin/sh", {"-c", "exec \"$0\" 2>&1", std::string(VELVIX_BINARY_DIR) + "/velvix"},
                           {{"DISPLAY", ""},
                            {"WAYLAND_DISPLAY", ""},
                            {"QT_QPA_PLATFORM", ""},
                            {"VELVIX_HOME", home.path().string()}});
  const std::string stop = "kill " + std::to_string(child.pid());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::string said;
  while (said.find(stop) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    const std::string more = child.read(1);
    if (more.empty()) break;
    said += more;
  }
  EXPECT_NE(said.find("runs without"), std::string::npos) << said;
  EXPECT_NE(said.find(stop), std::string::npos) << said;
  ::kill(child.pid(), SIGTERM);
  EXPECT_EQ(child.waitForExit(), 0);
}

TEST(RenderToolCommandLine, HelpAndAnOptionForAPicturePath) {
  const auto help = run("velvix_desktop_render", {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: velvix_desktop_render"), std::string::npos);
  const auto dash = run("velvix_desktop_render", {"-out.png"});
  EXPECT_EQ(dash.status, 2);
  EXPECT_NE(dash.err.find("usage:"), std::string::npos);
}

}  // namespace
}  // namespace velvix
