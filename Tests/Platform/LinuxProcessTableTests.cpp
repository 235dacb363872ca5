#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Platform/Linux/LinuxApplications.hpp"
#include "Platform/Linux/LinuxProcessTable.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TempFolder.hpp"

namespace velvix {
namespace {

using platform::LinuxProcessTable;
using Probe = platform::ProcessTable::Probe;

TEST(LinuxProcessTable, KnowsThisProcessItsParentAndItsExecutable) {
  LinuxProcessTable table;
  EXPECT_EQ(table.probe(::getpid()), Probe::exists);
  EXPECT_EQ(table.parent(::getpid()), ::getppid());
  EXPECT_EQ(table.executablePath(::getpid()), std::filesystem::read_symlink("/proc/self/exe").string());
}

TEST(LinuxProcessTable, ReadsAProcessWhoseNameHoldsSpacesAndParentheses) {
  test::TempFolder folder;
  const auto strange = folder.path() / "a) b (c) 1 2";
  std::filesystem::copy_file("/bin/cat", strange);
  std::filesystem::permissions(strange, std::filesystem::perms::owner_all);
  test::ChildProcess child(strange.string());  // waits on its input until the test ends
  LinuxProcessTable table;
  EXPECT_EQ(table.probe(child.pid()), Probe::exists);
  EXPECT_EQ(table.parent(child.pid()), ::getpid());
  EXPECT_EQ(table.executablePath(child.pid()), strange.string());
}

TEST(LinuxProcessTable, AProcessThatEndedOrNeverWasIsGone) {
  LinuxProcessTable table;
  pid_t ended = 0;
  {
    test::ChildProcess child("/bin/true");
    ASSERT_EQ(child.waitForExit(), 0);
    ended = child.pid();
  }
  for (platform::Pid pid : {ended, 0, -1}) {
    EXPECT_EQ(table.probe(pid), Probe::gone) << pid;
    EXPECT_FALSE(table.parent(pid)) << pid;
    EXPECT_FALSE(table.executablePath(pid)) << pid;
    EXPECT_FALSE(table.name(pid)) << pid;
  }
  const auto pids = table.allPids();
  EXPECT_EQ(std::find(pids.begin(), pids.end(), ended), pids.end());
}

TEST(LinuxProcessTable, ListsEveryProcessWithTheShortNameTheKernelKeeps) {
  test::TempFolder folder;
  const auto program = folder.path() / "keycastr-helper-for-tests";
  std::filesystem::copy_file("/bin/cat", program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  test::ChildProcess child(program.string());
  LinuxProcessTable table;
  const auto pids = table.allPids();
  for (pid_t pid : {::getpid(), child.pid()})
    EXPECT_NE(std::find(pids.begin(), pids.end(), pid), pids.end()) << pid;
  // The kernel keeps the first 15 bytes of the name, once the child has become the program.
  EXPECT_TRUE(test::eventually([&] { return table.name(child.pid()) == "keycastr-helper"; }))
      << table.name(child.pid()).value_or("(none)");
}

TEST(LinuxProcessTable, AProcessOfAnotherUserExistsButIsNotOurs) {
  // A child that is not root probes the first process, which is.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::getuid() == 0 && ::setuid(65534) != 0) ::_exit(100);
    ::_exit(static_cast<int>(LinuxProcessTable().probe(1)));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(Probe::existsOtherUser));
}

TEST(LinuxApplications, BrowsersInstalledAsPlainProgramsAreKnownByTheirExecutable) {
  using platform::LinuxApplications::bundleIdentifier;
  EXPECT_EQ(bundleIdentifier("/usr/lib/chromium/chromium"), "org.chromium.Chromium");
  // Replaced by an update while it runs: still that browser.
  EXPECT_EQ(bundleIdentifier("/opt/google/chrome/chrome (deleted)"), "com.google.Chrome");
  EXPECT_EQ(bundleIdentifier("/usr/bin/chromium"), std::nullopt);  // the wrapper script never runs as itself
  EXPECT_EQ(bundleIdentifier("/tmp/usr/lib/chromium/chromium"), std::nullopt);
  // This test program is no browser.
  EXPECT_EQ(LinuxProcessTable().bundleIdentifier(::getpid()), std::nullopt);
}

}  // namespace
}  // namespace velvix
