#include <filesystem>

#include <gtest/gtest.h>

#include "Platform/Linux/Files.hpp"
#include "Platform/Linux/UserTextFile.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/TempFolder.hpp"
#include "TestSupport/UserFiles.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;
using Change = UserTextFile::Change;
using Outcome = UserTextFile::Outcome;

// Another program appending a line to the file, the way a shell's `>>` does.
void appendFromAnotherProgram(const fs::path& path, const std::string& line) {
  test::ChildProcess shell("/bin/sh", {"-c", "printf '%s\\n' \"$2\" >> \"$1\"", "sh", path.string(), line});
  ASSERT_EQ(shell.waitForExit(), 0);
}

TEST(UserTextFile, WhatAnotherProgramWritesMeanwhileIsNeverOverwritten) {
  test::TempFolder home;
  const fs::path zshrc = home.path() / ".zshrc";
  test::writeFile(zshrc, "export A=1\n");
  int calls = 0;
  auto addOurs = [&](bool appendEachTime) {
    return [&, appendEachTime](const UserTextFile& file) {
      // Between our read and our rename, as a concurrent writer would.
      if (++calls == 1 || appendEachTime)
        appendFromAnotherProgram(file.target(), "export B=" + std::to_string(calls));
      return Change{Change::Kind::write, file.text() + "# ours\n", {}};
    };
  };
  auto outcome = UserTextFile::edit(zshrc, addOurs(false));
  EXPECT_EQ(outcome.kind, Outcome::Kind::written);
  EXPECT_EQ(calls, 2);  // started again from the new text
  EXPECT_EQ(test::readFile(zshrc), "export A=1\nexport B=1\n# ours\n");

  // One that never stops: left alone after a few tries, with every line it wrote.
  calls = 0;
  outcome = UserTextFile::edit(zshrc, addOurs(true));
  EXPECT_EQ(outcome.kind, Outcome::Kind::leftAlone);
  EXPECT_NE(outcome.problem.find("kept changing"), std::string::npos) << outcome.problem;
  EXPECT_EQ(calls, UserTextFile::kAttempts);
  EXPECT_EQ(test::readFile(zshrc), "export A=1\nexport B=1\n# ours\nexport B=1\nexport B=2\nexport B=3\n");
}

TEST(UserTextFile, TemporariesLeftByAKilledWriterGoAtTheNextWrite) {
  test::TempFolder home;
  const fs::path zshrc = home.path() / ".zshrc";
  test::writeFile(zshrc, "export A=1\n");
  test::ChildProcess killed("/bin/sh", {"-c", "kill -KILL $$"});
  ASSERT_TRUE(killed.waitForExit());
  // Named after the file and the writer, so they can be found.
  const fs::path stale = files::temporaryPath(zshrc, killed.pid());
  EXPECT_TRUE(
      stale.filename().string().starts_with(".zshrc.velvix-tmp-" + std::to_string(killed.pid()) + "-"));
  const fs::path running = files::temporaryPath(zshrc, ::getpid());
  const fs::path otherFile = files::temporaryPath(home.path() / ".zprofile", killed.pid());
  for (const auto& temporary : {stale, running, otherFile}) test::writeFile(temporary, "export A=1\n");

  const auto outcome = UserTextFile::edit(zshrc, [](const UserTextFile& file) {
    return Change{Change::Kind::write, file.text() + "# ours\n", {}};
  });
  EXPECT_EQ(outcome.kind, Outcome::Kind::written);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(running));    // its writer may still rename it
  EXPECT_TRUE(fs::exists(otherFile));  // another file's, cleared when that one is written
  EXPECT_EQ(std::distance(fs::directory_iterator(home.path()), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace velvix
