#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "Support/TerminalIntegrationInstaller.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/Eventually.hpp"
#include "TestSupport/TestWorld.hpp"
#include "TestSupport/UserFiles.hpp"
#include "UI/OnboardingWindowController.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

const std::string kBlock = std::string(TerminalIntegrationInstaller::kOpeningFence) + "\n" +
                           TerminalIntegrationInstaller::kSourceLine + "\n" +
                           TerminalIntegrationInstaller::kClosingFence + "\n";

// Runs a shell command line with the path as $1; its output (standard output and error together).
std::string shell(const std::string& command, const fs::path& path) {
  test::ChildProcess child("/bin/sh", {"-c", command + " 2>&1; echo \"exit=$?\"", "sh", path.string()});
  std::string output = child.read(1 << 20);
  child.waitForExit();
  return output;
}

class TerminalIntegrationInstallerTest : public ::testing::Test {
 protected:
  TerminalIntegrationInstallerTest() {
    world.defaults.set("debugLogging", true);
    world.preferences().terminalShellIntegrationAllowed.set(true);
  }
  fs::path zshrc() const { return world.home.path() / ".zshrc"; }

  test::TestWorld world;
  TerminalIntegrationInstaller& installer = world.terminalIntegration();
};

TEST_F(TerminalIntegrationInstallerTest, TheBlockIsAddedOnceAndRemovedWithNothingElseChanged) {
  struct Case {
    const char* name;
    std::optional<std::string> before;  // nothing: no ~/.zshrc at all
    std::string installed;
    std::optional<std::string> afterUninstall;
  };
  const std::string marker = TerminalIntegrationInstaller::kOpeningFence;
  const std::vector<Case> cases = {
      // One that Velvix created goes away with its block; the user's own empty one stays.
      {"missing", std::nullopt, kBlock, std::nullopt},
      {"empty", "", kBlock, ""},
      {"ends with a line feed", "export A=1\n", "export A=1\n\n" + kBlock, "export A=1\n"},
      {"no final line feed", "export A=1", "export A=1\n\n" + kBlock, "export A=1"},
      {"CRLF line ends", "export A=1\r\nalias l=ls\r\n", "export A=1\r\nalias l=ls\r\n\n" + kBlock,
       "export A=1\r\nalias l=ls\r\n"},
      // Copies of the marker that are not whole lines are the user's text.
      {"commented and quoted markers", "# " + marker + "\necho '" + marker + "'\n",
       "# " + marker + "\necho '" + marker + "'\n\n" + kBlock, "# " + marker + "\necho '" + marker + "'\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(zshrc());
    if (c.before) writeFile(zshrc(), *c.before);
    installer.install();
    installer.install();
    EXPECT_EQ(readFile(zshrc()), c.installed);
    EXPECT_TRUE(installer.fenceIsInstalled());
    EXPECT_TRUE(fs::exists(installer.scriptPath()));
    installer.uninstall();
    EXPECT_EQ(readFile(zshrc()), c.afterUninstall);
    EXPECT_EQ(fs::exists(zshrc()), c.afterUninstall.has_value());
    EXPECT_FALSE(fs::exists(installer.scriptPath()));
  }

  // Once a line follows the block, the line feed before it ends a line of the user's and stays.
  writeFile(zshrc(), "export A=1");
  installer.install();
  writeFile(zshrc(), *readFile(zshrc()) + "export B=2\n");
  installer.uninstall();
  EXPECT_EQ(readFile(zshrc()), "export A=1\nexport B=2\n");
  // A file that ends with its own line feed at the next install keeps it at removal.
  writeFile(zshrc(), "export A=1");
  installer.install();
  writeFile(zshrc(), "export A=1\n");
  installer.install();
  installer.uninstall();
  EXPECT_EQ(readFile(zshrc()), "export A=1\n");
}

TEST_F(TerminalIntegrationInstallerTest, EveryCopyOfTheBlockIsFoundAndAnIndentedOneStaysWhereItIs) {
  const std::string opening = TerminalIntegrationInstaller::kOpeningFence;
  const std::string closing = TerminalIntegrationInstaller::kClosingFence;
  const std::string mine = "export A=1\n";
  const std::string alsoMine = "alias l='ls -l'\n";
  // Twice over: an install keeps the first copy only, a removal takes both.
  writeFile(zshrc(), mine + "\n" + kBlock + alsoMine + "\n" + kBlock);
  installer.install();
  EXPECT_EQ(readFile(zshrc()), mine + "\n" + kBlock + alsoMine);
  writeFile(zshrc(), mine + "\n" + kBlock + alsoMine + "\n" + kBlock);
  installer.uninstall();
  EXPECT_EQ(readFile(zshrc()), mine + alsoMine);

  // Wrapped in a condition of the user's and indented: updated where it stands, no second block.
  auto wrapped = [&](const std::string& inside) {
    return "if [[ $TERM != dumb ]]; then\n  " + opening + "\n" + inside + "  " + closing + "\nfi\n" +
           alsoMine;
  };
  writeFile(zshrc(), wrapped("  source ~/old/velvix.zsh\n"));
  installer.install();
  installer.install();
  EXPECT_EQ(readFile(zshrc()), wrapped("  " + std::string(TerminalIntegrationInstaller::kSourceLine) + "\n"));
  installer.uninstall();
  EXPECT_EQ(readFile(zshrc()), "if [[ $TERM != dumb ]]; then\nfi\n" + alsoMine);
  EXPECT_EQ(shell("zsh -n \"$1\"", zshrc()), "exit=0\n");
}

TEST_F(TerminalIntegrationInstallerTest, AZshrcItCannotUseIsLeftUntouchedAndLogged) {
  const std::string marker = TerminalIntegrationInstaller::kOpeningFence;
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"Latin-1 bytes", "export NAME=Jos\xE9\n"},
      {"closing marker deleted", "export A=1\n\n" + marker + "\nsource x\n"},
      {"opening marker deleted",
       "export A=1\n\nsource x\n" + std::string(TerminalIntegrationInstaller::kClosingFence) + "\n"},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    writeFile(zshrc(), bytes);
    const auto inode = test::inodeOf(zshrc());
    installer.install();
    EXPECT_FALSE(installer.fenceIsInstalled());
    installer.uninstall();
    EXPECT_EQ(readFile(zshrc()), bytes);
    EXPECT_EQ(test::inodeOf(zshrc()), inode);
    EXPECT_FALSE(fs::exists(installer.scriptPath()));  // the script goes all the same
    const auto lines = world.debugLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("shell integration: ")) << lines.back();
    EXPECT_NE(lines.back().find("leaving"), std::string::npos) << lines.back();
  }
  // A folder where ~/.zshrc should be stays a folder.
  fs::remove(zshrc());
  fs::create_directories(zshrc() / "inside");
  installer.install();
  EXPECT_TRUE(fs::is_directory(zshrc() / "inside"));

  // A FIFO is never opened, whatever the settings; one the user made read-only is not replaced,
  // and the Terminal pane's note says why.
  fs::remove_all(zshrc());
  {
    test::TrappedFifo fifo(zshrc());
    world.preferences().terminalShellIntegrationAllowed.set(false);
    installer.reconcileAtLaunch();
    world.preferences().terminalShellIntegrationAllowed.set(true);
    world.loop.runUntilIdle();
    EXPECT_FALSE(fifo.wasOpenedBlocking());
    EXPECT_TRUE(fifo.isStillAFifo());
    EXPECT_NE(world.debugLines().back().find("is a FIFO, not a regular file; leaving it alone"),
              std::string::npos);
    EXPECT_EQ(installer.leftAloneNote(),
              "~/.zshrc is a FIFO, not a regular file, so Velvix left it as it is.");
  }
  fs::remove(zshrc());
  writeFile(zshrc(), "export A=1\n");
  fs::permissions(zshrc(), fs::perms(0444));
  const auto inode = test::inodeOf(zshrc());
  installer.install();
  EXPECT_EQ(readFile(zshrc()), "export A=1\n");
  EXPECT_EQ(test::inodeOf(zshrc()), inode);
  EXPECT_NE(world.debugLines().back().find("is read-only; leaving it alone"), std::string::npos);
  EXPECT_EQ(installer.leftAloneNote(), "~/.zshrc is read-only, so Velvix left it as it is.");
}

TEST_F(TerminalIntegrationInstallerTest, ALinkedZshrcIsWrittenWhereItLivesAHardLinkedOneLeftAlone) {
  const fs::path dotfiles = world.home.path() / "dotfiles" / "zshrc";
  writeFile(dotfiles, "export A=1\n");
  fs::permissions(dotfiles, fs::perms(0600));
  fs::create_symlink("dotfiles/zshrc", zshrc());
  installer.install();
  EXPECT_TRUE(fs::is_symlink(zshrc()));
  EXPECT_EQ(readFile(dotfiles), "export A=1\n\n" + kBlock);
  EXPECT_EQ(test::modeOf(dotfiles), 0600u);
  installer.uninstall();
  EXPECT_TRUE(fs::is_symlink(zshrc()));
  EXPECT_EQ(readFile(dotfiles), "export A=1\n");
  EXPECT_EQ(test::modeOf(dotfiles), 0600u);

  // A hard link: a rewrite would part the two names, so both keep seeing the one file as it is.
  fs::remove(zshrc());
  fs::create_hard_link(dotfiles, zshrc());
  installer.install();
  EXPECT_EQ(test::inodeOf(zshrc()), test::inodeOf(dotfiles));
  EXPECT_EQ(readFile(dotfiles), "export A=1\n");
  EXPECT_EQ(installer.leftAloneNote(),
            "~/.zshrc has 2 hard links, which a rewrite would split apart, so Velvix left it as it is.");
}

TEST_F(TerminalIntegrationInstallerTest, TheScriptFollowsTheSettingsAndIsValidZsh) {
  installer.install();
  const auto all = readFile(installer.scriptPath());
  ASSERT_TRUE(all);
  EXPECT_NE(all->find("bindkey '\\e[1;2D' velvix-select-char-left"), std::string::npos);
  EXPECT_EQ(shell("zsh -n \"$1\"", installer.scriptPath()), "exit=0\n");

  Preferences& p = world.preferences();
  p.terminalCharSelectEnabled.set(false);
  p.terminalMouseSelectEnabled.set(false);
  p.terminalLineDeleteEnabled.set(false);
  installer.install();
  const auto none = readFile(installer.scriptPath());
  ASSERT_TRUE(none);
  EXPECT_EQ(none->find("\\e[1;2D"), std::string::npos);
  EXPECT_NE(none->find("# shift-arrow selection disabled in Velvix settings\n"), std::string::npos);
  EXPECT_NE(none->find("# mouse-highlight replace disabled in Velvix settings\n"), std::string::npos);
  EXPECT_NE(none->find("# cmd-delete left on zsh's own ^U binding by Velvix settings\n"), std::string::npos);
  EXPECT_EQ(shell("zsh -n \"$1\"", installer.scriptPath()), "exit=0\n");
}

TEST_F(TerminalIntegrationInstallerTest, SourcedTwiceInARealZshItBindsItsKeysAndChainsTheWidgets) {
  installer.install();
  const std::string output = shell(
      "zsh -f -i -c 'source \"$1\"; source \"$1\"; "
      "for k in \"\\e[25~\" \"\\e[29~\" \"\\e[28~\" \"\\e[31~\" \"\\e[1;2C\" \"^U\"; do bindkey \"$k\"; "
      "done; "
      "print -r -- self-insert=${widgets[self-insert]} orig=${widgets[velvix-orig-self-insert]}' zsh \"$1\"",
      installer.scriptPath());
  EXPECT_EQ(output,
            "\"^[[25~\" velvix-select-word-left\n"
            "\"^[[29~\" velvix-cut\n"
            "\"^[[28~\" velvix-mouse-replace\n"
            "\"^[[31~\" redo\n"
            "\"^[[1;2C\" velvix-select-char-right\n"
            "\"^U\" backward-kill-line\n"
            "self-insert=user:velvix-self-insert orig=builtin\n"
            "exit=0\n");
}

TEST_F(TerminalIntegrationInstallerTest, CutInARealZshReachesTheLinuxClipboardAndTheKillRing) {
  const fs::path home = world.home.path();
  writeFile(zshrc(), "PS1='> '\n");
  installer.install();
  // The X11 clipboard command, standing in for the display's clipboard: it keeps what it is given.
  writeFile(home / "bin" / "xclip",
            "#!/bin/sh\n[ \"$*\" = '-selection clipboard -in' ] && cat > \"$HOME/clip\"\n");
  fs::permissions(home / "bin" / "xclip", fs::perms(0755));
  auto tmux = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"-S", (home / "tmux.socket").string()});
    test::ChildProcess child("/usr/bin/tmux", arguments);
    std::string output = child.read(1 << 16);
    child.waitForExit();
    return output;
  };
  // A real interactive zsh in a terminal, reading the test's ~/.zshrc.
  tmux({"-f", "/dev/null", "new-session", "-d", "env", "-i", "HOME=" + home.string(),
        "ZDOTDIR=" + home.string(), "PATH=" + (home / "bin").string() + ":/usr/bin:/bin", "DISPLAY=:0",
        "TERM=screen", "zsh", "-i"});
  const std::shared_ptr<void> server(nullptr, [&](void*) { tmux({"kill-server"}); });
  auto shows = [&](const std::string& line, const std::string& clipboard) {
    return test::eventually([&] {
      const std::string screen = tmux({"capture-pane", "-p"});
      return screen.substr(0, screen.find('\n')) == line && readFile(home / "clip").value_or("") == clipboard;
    });
  };
  ASSERT_TRUE(shows(">", ""));  // the line editor is up
  tmux({"send-keys", "-l", "echo one two"});
  ASSERT_TRUE(shows("> echo one two", ""));
  tmux({"send-keys", "-H", "1b", "5b", "32", "39", "7e"});  // F16, with nothing selected: the whole line
  EXPECT_TRUE(shows(">", "echo one two"));
  tmux({"send-keys", "C-y"});  // zsh's yank
  EXPECT_TRUE(shows("> echo one two", "echo one two"));
  tmux({"send-keys", "-H", "1b", "5b", "32", "35", "7e", "1b", "5b", "32", "39", "7e"});  // F13 selects, F16
  EXPECT_TRUE(shows("> echo one", "two"));
  tmux({"send-keys", "C-y"});
  EXPECT_TRUE(shows("> echo one two", "two"));
}

TEST_F(TerminalIntegrationInstallerTest, LinesAnotherProgramAppendsWhileTheBlockComesAndGoesAreAllKept) {
  writeFile(zshrc(), "export A=1\n");
  // Appends numbered lines the way `>>` does while the block is added and removed over and over.
  constexpr int kLines = 50000;
  test::ChildProcess appender("/bin/sh",
                              {"-c",
                               "n=0; while [ $n -lt " + std::to_string(kLines) +
                                   " ]; do n=$((n + 1)); echo \"export LINE_$n=1\" >> \"$1\"; done",
                               "sh", zshrc().string()});
  ASSERT_TRUE(test::eventually([&] { return readFile(zshrc())->size() > 100; }));
  int toggles = 0;
  int installed = 0;
  for (; toggles < 40 || !appender.waitForExit(std::chrono::milliseconds(0)); ++toggles) {
    installer.install();
    installed += installer.fenceIsInstalled();
    installer.uninstall();
  }
  EXPECT_EQ(appender.waitForExit(), 0);
  EXPECT_EQ(installed, toggles);  // appending alone never keeps the block out
  // Every line once, the user's own first.
  std::multiset<std::string> lines;
  std::istringstream text(*readFile(zshrc()));
  std::string first;
  std::getline(text, first);
  EXPECT_EQ(first, "export A=1");
  for (std::string line; std::getline(text, line);) lines.insert(line);
  std::multiset<std::string> expected;
  for (int n = 1; n <= kLines; ++n) expected.insert("export LINE_" + std::to_string(n) + "=1");
  EXPECT_TRUE(lines == expected) << lines.size() << " of " << kLines << " lines kept";
}

TEST_F(TerminalIntegrationInstallerTest, ConsentIsAskedOnceAfterTheSetUpWindowAndAllowingInstalls) {
  Preferences& p = world.preferences();
  p.terminalShellIntegrationAllowed.set(false);
  p.hasCompletedOnboarding.set(true);
  OnboardingWindowController& setUp = *world.services().onboardingWindow;  // the application's own
  setUp.show(OnboardingMode::regrant);
  auto& app = world.desktop.application();

  installer.reconcileAtLaunch();
  world.loop.advance(TerminalIntegrationInstaller::kConsentDelay + 5);
  EXPECT_TRUE(app.alertsShown.empty());  // never over the set-up window
  setUp.window()->close();
  world.loop.advance(1);
  ASSERT_EQ(app.alertsShown, std::vector<std::string>{TerminalIntegrationInstaller::kConsentMessage});
  EXPECT_TRUE(installer.isAsking());
  EXPECT_FALSE(fs::exists(zshrc()));

  ASSERT_TRUE(app.answerAlert(0));
  world.loop.runUntilIdle();
  EXPECT_TRUE(p.terminalShellIntegrationAllowed.get());
  EXPECT_EQ(readFile(zshrc()), kBlock);

  // Asked once: a later launch does not ask again; turning the keys off removes it all.
  installer.requestConsentIfNeeded();
  EXPECT_EQ(app.alertsShown.size(), 1u);
  p.terminalEditingKeysEnabled.set(false);
  EXPECT_FALSE(fs::exists(zshrc()));  // it made the file, so the file goes too
  EXPECT_FALSE(fs::exists(installer.scriptPath()));
}

TEST_F(TerminalIntegrationInstallerTest, ABlockFromAnEarlierInstallCountsAsConsent) {
  Preferences& p = world.preferences();
  p.terminalShellIntegrationAllowed.set(false);
  p.hasCompletedOnboarding.set(true);
  writeFile(zshrc(), "export A=1\n\n" + kBlock);
  installer.reconcileAtLaunch();
  world.loop.advance(TerminalIntegrationInstaller::kConsentDelay + 1);
  EXPECT_TRUE(p.terminalShellIntegrationAllowed.get());
  EXPECT_TRUE(p.terminalShellIntegrationAsked.get());
  EXPECT_TRUE(world.desktop.application().alertsShown.empty());
  EXPECT_EQ(readFile(zshrc()), "export A=1\n\n" + kBlock);
  EXPECT_TRUE(fs::exists(installer.scriptPath()));
}

}  // namespace
}  // namespace velvix
