#include <algorithm>
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
// The block behind a user's last entry that has no comma of its own.
const std::string kBc =
    "// >>> Velvix terminal keys >>>\n  // x\n  ,  // separates your last entry from these\n"
    "// <<< Velvix terminal keys <<<";
const std::string kBom = "\xEF\xBB\xBF";

std::string crlf(std::string text) {
  for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.insert(at, "\r");
  return text;
}

TEST(VSCodeKeybindingsInstaller, TheBlockGoesAtTheEndOfTheArrayAndComesOutLeavingTheExactText) {
  struct Case {
    const char* name;
    std::string text;
    std::optional<std::string> result;
  };
  const std::vector<Case> cases = {
      {"empty", " \n", " \n" + (Installer::kNewFileHeader + ("\n" + kB)) + "\n]\n"},
      {"only []", "[]", "[\n" + kB + "\n]"},
      {"last entry without comma", "[\n  { \"key\": \"a\" }\n]\n",
       "[\n  { \"key\": \"a\" }\n\n" + kBc + "\n]\n"},
      {"trailing comma", "[\n  { \"key\": \"a\" },\n]\n", "[\n  { \"key\": \"a\" },\n\n" + kB + "\n]\n"},
      {"one line", "[ 1, 2 ]", "[ 1, 2 \n" + kBc + "\n]"},
      {"comments holding ]", "[\n  { \"key\": \"a\" } // see [1]\n  /* ] */\n]\n// old: ]\n",
       "[\n  { \"key\": \"a\" } // see [1]\n  /* ] */\n\n" + kBc + "\n]\n// old: ]\n"},
      {"strings holding ] and //", "[{ \"key\": \"a]//b\", \"when\": \"x /* y\" }]",
       "[{ \"key\": \"a]//b\", \"when\": \"x /* y\" }\n" + kBc + "\n]"},
      {"CRLF line ends", crlf("[\n  { \"key\": \"a\" }\n]\n"),
       crlf("[\n  { \"key\": \"a\" }\n\n" + kBc + "\n]\n")},
      {"byte-order mark", kBom + "[\n  { \"key\": \"a\" }\n]\n",
       kBom + "[\n  { \"key\": \"a\" }\n\n" + kBc + "\n]\n"},
      {"no array", "{ \"key\": \"a\" }\n", std::nullopt},
      {"] only in a comment", "// ]\n", std::nullopt},
      {"unterminated string", "[ \"a ]\n", std::nullopt},
      {"outer ] missing", "[\n  { \"key\": \"a\", \"args\": [\"x\"] }\n", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result = Installer::inserting(kB, c.text);
    EXPECT_EQ(result, c.result);
    if (result) {
      EXPECT_EQ(Installer::removingFence(*result), c.text);
    }
    if (!c.result) {
      EXPECT_NE(Installer::arrayProblem(c.text), "");
    }
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

TEST_F(VSCodeKeybindingsInstallerTest, EveryEditorGetsTheBlockAndLosesItLeavingTheFileAsItWas) {
  EXPECT_EQ(installer.keybindingsURLs(),
            (std::vector<fs::path>{code(), userFolder("Cursor") / "keybindings.json"}));
  // Nothing: no file at all, and none once the block is out again.
  const std::vector<std::pair<const char*, std::optional<std::string>>> cases = {
      {"missing", std::nullopt},
      {"empty", ""},
      {"only []", "[]"},
      {"one line", "[ 1, 2 ]"},
      {"trailing comma, comments holding ]",
       "// mine ]\n[\n  { \"key\": \"cmd+k\", \"command\": \"x\" }, // [a]\n]\n"},
      {"CRLF line ends", crlf("[\n  { \"key\": \"cmd+k\", \"command\": \"x\" }\n]\n")},
      {"byte-order mark", kBom + "[\n  { \"key\": \"cmd+k\" }\n]"},
  };
  for (const auto& [name, before] : cases) {
    SCOPED_TRACE(name);
    fs::remove(code());
    if (before) writeFile(code(), *before);
    allow(true);
    const auto installed = readFile(code());
    ASSERT_TRUE(installed);
    EXPECT_EQ(*installed, *Installer::inserting(installer.renderBlock(), before.value_or("")));
    EXPECT_EQ(readFile(userFolder("Cursor") / "keybindings.json"),
              Installer::inserting(installer.renderBlock(), ""));
    // Unchanged settings write nothing.
    const auto inode = test::inodeOf(code());
    installer.reconcile();
    EXPECT_EQ(test::inodeOf(code()), inode);
    allow(false);
    EXPECT_EQ(readFile(code()), before);
    EXPECT_EQ(fs::exists(code()), before.has_value());
    EXPECT_FALSE(fs::exists(userFolder("Cursor") / "keybindings.json"));  // created by us, so gone again
  }
}

TEST_F(VSCodeKeybindingsInstallerTest, TheBlockIsStillFoundAfterTheEditorReformatsTheFile) {
  writeFile(code(), "[\n  { \"key\": \"cmd+k\", \"command\": \"x\" }\n]\n");
  allow(true);
  // What "Format Document" does: every line in the array indented, a few trailing blanks.
  const auto text = *readFile(code());
  std::string reformatted;
  std::size_t from = 0;
  for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
    const std::string line = text.substr(from, end - from);
    const bool inside = line != "[" && line != "]" && !line.empty();
    reformatted += (inside ? "    " : "") + line + (line.starts_with("//") ? " \t" : "") + "\n";
  }
  writeFile(code(), reformatted);
  installer.reconcile();
  const auto again = readFile(code());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->find(Installer::kOpeningMarker), again->rfind(Installer::kOpeningMarker));
  allow(false);
  EXPECT_EQ(readFile(code()), "[\n      { \"key\": \"cmd+k\", \"command\": \"x\" }\n]\n");
}

TEST_F(VSCodeKeybindingsInstallerTest, AFileHoldingTheBlockTwiceKeepsNoStaleCopy) {
  const std::string head = "[\n  { \"key\": \"cmd+k\", \"command\": \"x\" },\n";
  const std::string tail = "  { \"key\": \"cmd+j\", \"command\": \"y\" },\n]\n";
  const std::string stale = installer.renderBlock();  // binds cmd+backspace
  writeFile(code(), head + "\n" + stale + "\n" + tail.substr(0, tail.size() - 2) + "\n" + stale + "\n]\n");
  world.preferences().terminalLineDeleteEnabled.set(false);
  allow(true);
  const auto text = readFile(code());
  ASSERT_TRUE(text);
  EXPECT_EQ(text->find(Installer::kOpeningMarker), text->rfind(Installer::kOpeningMarker));
  EXPECT_EQ(text->find("cmd+backspace"), std::string::npos);
  allow(false);
  EXPECT_EQ(readFile(code()), head + tail);
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

TEST_F(VSCodeKeybindingsInstallerTest, AFileItCannotUseIsLeftUntouchedAndLoggedAtEveryLaunch) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"not UTF-8", "[\n  { \"key\": \"cmd+\xE9\" }\n]\n"},
      {"no array", "{ \"key\": \"cmd+k\" }\n"},
      {"half a block", "[\n// >>> Velvix terminal keys >>>\n  { \"key\": \"cmd+k\" }\n]\n"},
      {"half a block, reindented",
       "[\n  {},\n\n    // >>> Velvix terminal keys >>>  \n    { \"key\": \"x\" },\n]\n"},
      {"outer ] missing", "[\n  { \"key\": \"cmd+k\", \"args\": [\"x\"] }\n"},
  };
  auto leftAloneLines = [&] {
    const auto lines = world.debugLines();
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.starts_with("vscode keys: keybindings.json at " + code().string()) &&
             line.ends_with("; leaving it alone");
    });
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    writeFile(code(), bytes);
    const auto inode = test::inodeOf(code());
    const auto logged = leftAloneLines();
    allow(true);
    allow(false);
    EXPECT_EQ(readFile(code()), bytes);
    EXPECT_EQ(test::inodeOf(code()), inode);
    allow(true);
    EXPECT_GE(leftAloneLines(), logged + 2);
    EXPECT_EQ(test::inodeOf(code()), inode);
    EXPECT_NE(installer.leftAloneNote().find("keybindings.json of Code "), std::string::npos);
  }

  // A FIFO is never opened; a file the user made read-only is not replaced; both say why.
  fs::remove(code());
  {
    test::TrappedFifo fifo(code());
    allow(true);
    allow(false);
    allow(true);
    EXPECT_FALSE(fifo.wasOpenedBlocking());
    EXPECT_TRUE(fifo.isStillAFifo());
    EXPECT_EQ(installer.leftAloneNote(),
              "keybindings.json of Code is a FIFO, not a regular file, so Velvix left it as it is.");
  }
  fs::remove(code());
  writeFile(code(), "[]");
  fs::permissions(code(), fs::perms(0444));
  const auto inode = test::inodeOf(code());
  allow(true);
  EXPECT_EQ(readFile(code()), "[]");
  EXPECT_EQ(test::inodeOf(code()), inode);
  EXPECT_EQ(installer.leftAloneNote(), "keybindings.json of Code is read-only, so Velvix left it as it is.");
  allow(false);

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
