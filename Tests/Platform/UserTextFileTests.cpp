#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Another program putting a new file in its place, the way an editor saves.
void replaceFromAnotherProgram(const fs::path& path, const std::string& line) {
  test::ChildProcess shell("/bin/sh", {"-c", "printf '%s\\n' \"$2\" > \"$1.new\" && mv \"$1.new\" \"$1\"",
                                       "sh", path.string(), line});
  ASSERT_EQ(shell.waitForExit(), 0);
}

TEST(UserTextFile, WhatAnotherProgramWritesMeanwhileIsNeverOverwritten) {
  test::TempFolder home;
  const fs::path zshrc = home.path() / ".zshrc";
  test::writeFile(zshrc, "export A=1\n");
  int calls = 0;
  auto addOurs = [&](const std::function<void(const fs::path&, const std::string&)>& otherWriter,
                     bool eachTime) {
    return [&, otherWriter, eachTime](const UserTextFile& file) {
      // Between our read and our rename, as a concurrent writer would.
      if (++calls == 1 || eachTime) otherWriter(file.target(), "export B=" + std::to_string(calls));
      return Change{Change::Kind::write, file.text() + "# ours\n", {}};
    };
  };
  // A line appended meanwhile is kept, after ours.
  auto outcome = UserTextFile::edit(zshrc, addOurs(appendFromAnotherProgram, false));
  EXPECT_EQ(outcome.kind, Outcome::Kind::written);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(test::readFile(zshrc), "export A=1\n# ours\nexport B=1\n");

  // A file replaced meanwhile makes the change start again; one replaced every time is left alone
  // after a few tries, as that program left it.
  calls = 0;
  outcome = UserTextFile::edit(zshrc, addOurs(replaceFromAnotherProgram, true));
  EXPECT_EQ(outcome.kind, Outcome::Kind::leftAlone);
  EXPECT_NE(outcome.problem.find("kept changing"), std::string::npos) << outcome.problem;
  EXPECT_EQ(calls, UserTextFile::kAttempts);
  EXPECT_EQ(test::readFile(zshrc), "export B=3\n");
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

TEST(UserTextFile, AWriterKilledAtAnyMomentLeavesTheFileWholeAndNothingOnceTheFileIsNextLookedAt) {
  test::TempFolder home;
  const fs::path zshrc = home.path() / ".zshrc";
  // Large enough that a write takes a while, so the kills land inside writes.
  const std::string mine = "export A=1\n" + std::string(1 << 20, '#') + "\n";
  const std::string withOurs = mine + "\n# ours\n";
  test::writeFile(zshrc, mine);
  std::mt19937 random(std::random_device{}());
  // Thirty kills, and more until one leaves its temporary behind.
  bool leftover = false;
  const auto entries = [&] {
    return std::distance(fs::directory_iterator(home.path()), fs::directory_iterator());
  };
  for (int kill = 0; kill < 30 || (!leftover && kill < 300); ++kill) {
    int edits[2];
    ASSERT_EQ(::pipe(edits), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::close(edits[0]);
      for (;;) {
        UserTextFile::edit(zshrc, [&](const UserTextFile& file) {
          return Change{Change::Kind::write, file.text() == mine ? withOurs : mine, {}};
        });
        if (::write(edits[1], "e", 1) != 1) ::_exit(1);
      }
    }
    ::close(edits[1]);
    // The kill lands at a different point each time: after a random number of whole edits, at
    // once or as soon as a write has its temporary beside the file.
    const int whole = std::uniform_int_distribution<int>(0, 3)(random);
    for (int done = 0; done < whole; ++done) {
      char byte;
      ASSERT_EQ(::read(edits[0], &byte, 1), 1);
    }
    if (kill % 2 == 1) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (entries() == 1 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    }
    ::kill(writer, SIGKILL);
    ASSERT_EQ(::waitpid(writer, nullptr, 0), writer);
    ::close(edits[0]);
    const auto text = test::readFile(zshrc);
    ASSERT_TRUE(text == mine || text == withOurs);
    leftover = leftover || entries() > 1;
  }
  ASSERT_TRUE(leftover);
  // As at a launch: a look that changes nothing still clears what the killed writers left.
  UserTextFile::edit(zshrc, [](const UserTextFile&) { return Change{}; });
  EXPECT_EQ(entries(), 1);
}

}  // namespace
}  // namespace velvix
