#include <filesystem>

#include <gtest/gtest.h>

#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "TestSupport/TestWorld.hpp"
#include "TestSupport/UserFiles.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using Installer = VSCodeKeybindingsInstaller;

const std::string kB = "// >>> Velvix terminal keys >>>\n  // x\n// <<< Velvix terminal keys <<<";

TEST(VSCodeKeybindingsInstaller, TheBlockGoesAtTheEndOfTheArrayPastCommentsAndStrings) {
  struct Case {
    const char* name;
    std::string text;
    std::optional<std::string> result;
  };
  const std::vector<Case> cases = {
      {"empty", " \n", Installer::kNewFileHeader + ("\n" + kB) + "\n]\n"},
      {"only []", "[]", "[\n\n" + kB + "\n]"},
      {"last entry without comma", "[\n  { \"key\": \"a\" }\n]\n",
       "[\n  { \"key\": \"a\" },\n\n" + kB + "\n]\n"},
      {"trailing comma", "[\n  { \"key\": \"a\" },\n]\n", "[\n  { \"key\": \"a\" },\n\n" + kB + "\n]\n"},
      {"comments holding ]", "[\n  { \"key\": \"a\" } // see [1]\n  /* ] */\n]\n// old: ]\n",
       "[\n  { \"key\": \"a\" }, // see [1]\n  /* ] */\n\n" + kB + "\n]\n// old: ]\n"},
      {"strings holding ] and //", "[{ \"key\": \"a]//b\", \"when\": \"x /* y\" }]",
       "[{ \"key\": \"a]//b\", \"when\": \"x /* y\" },\n\n" + kB + "\n]"},
      {"no array", "{ \"key\": \"a\" }\n", std::nullopt},
      {"] only in a comment", "// ]\n", std::nullopt},
      {"unterminated string", "[ \"a ]\n", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Installer::inserting(kB, c.text), c.result);
  }
}

class VSCodeKeybindingsInstallerTest : public ::testing::Test {
 protected:
  VSCodeKeybindingsInstallerTest() {
    world.defaults.set("debugLogging", true);
    fs::create_directories(userFolder("Code"));
    fs::create_directories(userFolder("Cursor"));
  }
  fs::path userFolder(const std::string& editor) const {
    return world.home.path() / "Library" / "Application Support" / editor / "User";
  }
  fs::path code() const { return userFolder("Code") / "keybindings.json"; }
  void allow(bool on) {
    world.preferences().vscodeTerminalKeysAllowed.set(on);
    installer.reconcile();
  }

  test::TestWorld world;
  Installer& installer = world.vscodeKeybindings();
};

TEST_F(VSCodeKeybindingsInstallerTest, EveryEditorGetsTheBlockAndLosesItWithNothingElseChanged) {
  EXPECT_EQ(installer.keybindingsURLs(),
            (std::vector<fs::path>{code(), userFolder("Cursor") / "keybindings.json"}));
  struct Case {
    const char* name;
    std::optional<std::string> before;
    std::string afterRemoval;
  };
  const std::vector<Case> cases = {
      {"missing", std::nullopt, Installer::kNewFileHeader + std::string("]\n")},
      {"empty", "", Installer::kNewFileHeader + std::string("]\n")},
      {"only []", "[]", "[\n]"},
      {"trailing comma, comments holding ]",
       "// mine ]\n[\n  { \"key\": \"cmd+k\", \"command\": \"x\" }, // [a]\n]\n",
       "// mine ]\n[\n  { \"key\": \"cmd+k\", \"command\": \"x\" }, // [a]\n]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(code());
    if (c.before) writeFile(code(), *c.before);
    allow(true);
    const auto installed = readFile(code());
    ASSERT_TRUE(installed);
    EXPECT_EQ(*installed, *Installer::inserting(installer.renderBlock(), c.before.value_or("")));
    EXPECT_EQ(readFile(userFolder("Cursor") / "keybindings.json"),
              Installer::inserting(installer.renderBlock(), ""));
    // Unchanged settings write nothing.
    const auto inode = test::inodeOf(code());
    installer.reconcile();
    EXPECT_EQ(test::inodeOf(code()), inode);
    allow(false);
    EXPECT_EQ(readFile(code()), c.afterRemoval);
    fs::remove(userFolder("Cursor") / "keybindings.json");
  }
}

TEST_F(VSCodeKeybindingsInstallerTest, TheBlockFollowsTheGroupSettings) {
  Preferences& p = world.preferences();
  for (auto* group : {&p.terminalLineJumpEnabled, &p.terminalLineDeleteEnabled, &p.terminalUndoRedoEnabled,
                      &p.terminalCutEnabled, &p.terminalWordSelectEnabled, &p.terminalLineSelectEnabled})
    group->set(false);
  EXPECT_EQ(installer.renderBlock(),
            "// >>> Velvix terminal keys >>>\n"
            "  // Managed by Velvix. Terminal panel only — your editor\n"
            "  // keys are untouched. Turn the feature off in Velvix's\n"
            "  // Settings to remove this block.\n"
            "// <<< Velvix terminal keys <<<");
  p.terminalCutEnabled.set(true);
  EXPECT_NE(
      installer.renderBlock().find(
          "\n  { \"key\": \"cmd+x\", \"command\": \"workbench.action.terminal.sendSequence\", \"when\": "
          "\"terminalFocus\", \"args\": { \"text\": \"\\u001b[29~\" } },  // cut widget (F16)\n"),
      std::string::npos);

  // Following the settings replaces the block in place.
  installer.reconcileAtLaunch();
  allow(true);
  p.terminalLineJumpEnabled.set(true);
  const auto text = readFile(code());
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("cmd+left"), std::string::npos);
  EXPECT_EQ(text->find(Installer::kOpeningMarker), text->rfind(Installer::kOpeningMarker));
}

TEST_F(VSCodeKeybindingsInstallerTest, AFileItCannotUseIsLeftUntouchedAndLogged) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"not UTF-8", "[\n  { \"key\": \"cmd+\xE9\" }\n]\n"},
      {"no array", "{ \"key\": \"cmd+k\" }\n"},
      {"half a block", "[\n// >>> Velvix terminal keys >>>\n  { \"key\": \"cmd+k\" }\n]\n"},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    writeFile(code(), bytes);
    const auto inode = test::inodeOf(code());
    allow(true);
    allow(false);
    EXPECT_EQ(readFile(code()), bytes);
    EXPECT_EQ(test::inodeOf(code()), inode);
    allow(true);
    const auto lines = world.debugLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().starts_with("vscode keys: ")) << lines.back();
    EXPECT_NE(lines.back().find("leaving it alone"), std::string::npos) << lines.back();
  }

  // A folder in the file's place stays a folder.
  fs::remove(code());
  fs::create_directories(code() / "inside");
  allow(true);
  EXPECT_TRUE(fs::is_directory(code() / "inside"));

  // A folder that cannot be written keeps the old file whole, and no temporary file.
  fs::remove_all(code());
  const std::string mine = "[\n  { \"key\": \"cmd+k\" }\n]\n";
  writeFile(code(), mine);
  allow(false);
  {
    test::LockedFolder locked(userFolder("Code"));
    if (!locked.ok()) GTEST_SKIP() << "this file system cannot lock a folder";
    allow(true);
  }
  EXPECT_EQ(readFile(code()), mine);
  EXPECT_EQ(std::distance(fs::directory_iterator(userFolder("Code")), fs::directory_iterator()), 1);
  EXPECT_NE(world.debugLines().back().find("writing keybindings.json at " + code().string()),
            std::string::npos);
}

TEST_F(VSCodeKeybindingsInstallerTest, ConsentIsAskedAfterTheLaunchAndAllowingWritesEveryEditor) {
  world.preferences().hasCompletedOnboarding.set(true);
  auto& app = world.desktop.application();
  app.alertAnswer = 0;
  installer.reconcileAtLaunch();
  EXPECT_TRUE(app.alertsShown.empty());  // not while the launch is running
  world.loop.runUntilIdle();
  EXPECT_EQ(app.alertsShown, std::vector<std::string>{Installer::kConsentMessage});
  EXPECT_TRUE(world.preferences().vscodeTerminalKeysAllowed.get());
  for (const auto& url : installer.keybindingsURLs())
    EXPECT_EQ(readFile(url), Installer::inserting(installer.renderBlock(), ""));
  installer.reconcile();
  world.loop.runUntilIdle();
  EXPECT_EQ(app.alertsShown.size(), 1u);  // asked once
}

}  // namespace
}  // namespace velvix
