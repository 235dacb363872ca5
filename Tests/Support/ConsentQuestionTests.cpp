#include <filesystem>

#include <gtest/gtest.h>

#include "Core/Preferences.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

namespace fs = std::filesystem;
using Shell = TerminalIntegrationInstaller;
using Editor = VSCodeKeybindingsInstaller;

// One run of the program's two consent askers over the test world's settings.
struct ProgramRun {
  test::TestWorld& world;
  Services& services = world.services();
  ConsentQuestion::Turns turns{world.loop, [] { return false; }};  // no set-up window in these runs
  Editor editor{world.vscodeKeybindingsCollaborators(turns)};
  Shell shell{world.terminalIntegrationCollaborators(turns)};
  explicit ProgramRun(test::TestWorld& w) : world(w) {
    services.vscodeKeybindings = &editor;
    services.terminalIntegration = &shell;
    editor.reconcileAtLaunch();
    shell.reconcileAtLaunch();
  }
  ~ProgramRun() {
    services.vscodeKeybindings = nullptr;
    services.terminalIntegration = nullptr;
  }
};

struct ConsentQuestionTest : ::testing::Test {
  test::TestWorld world;
  sim::SimApplication& app = world.desktop.application();

  ConsentQuestionTest() {
    fs::create_directories(world.home.path() / "Library" / "Application Support" / "Code" / "User");
    world.preferences().hasCompletedOnboarding.set(true);
  }
};

TEST_F(ConsentQuestionTest, TheQuestionsTakeTurnsInAFixedOrderAndEachAnswerIsItsOwn) {
  std::vector<std::string> shownDuringTheEditorQuestion;
  app.presentModal = [&](const sim::SimApplication::AlertText&) {
    // The modal question keeps the loop turning; the shell's question must not appear beside it.
    world.loop.advance(Shell::kConsentDelay + 5);
    shownDuringTheEditorQuestion = app.alertsShown;
    return 1;  // Not Now
  };
  ProgramRun run(world);
  world.loop.advance(Shell::kConsentDelay + 1);
  world.loop.runUntilIdle();  // the modal question's own turns went past the advance's end
  EXPECT_EQ(shownDuringTheEditorQuestion, std::vector<std::string>{Editor::kConsentMessage});
  ASSERT_EQ(app.alertsShown, (std::vector<std::string>{Editor::kConsentMessage, Shell::kConsentMessage}));
  const Preferences& p = world.preferences();
  EXPECT_FALSE(p.vscodeTerminalKeysAllowed.get());
  EXPECT_TRUE(p.vscodeTerminalKeysAsked.get());

  // The shell's question is answered by its own button, and allowing writes only ~/.zshrc.
  ASSERT_TRUE(app.answerAlert(0));
  world.loop.runUntilIdle();
  EXPECT_TRUE(p.terminalShellIntegrationAllowed.get());
  EXPECT_FALSE(p.vscodeTerminalKeysAllowed.get());
  EXPECT_TRUE(fs::exists(world.home.path() / ".zshrc"));
  EXPECT_FALSE(fs::exists(run.editor.keybindingsURLs().front()));
  EXPECT_EQ(app.alertsShown.size(), 2u);
}

TEST_F(ConsentQuestionTest, AQuestionOpenAtQuitRecordsNothingAndIsAskedAgainAtTheNextLaunch) {
  const Preferences& p = world.preferences();
  {
    app.presentModal = [](const sim::SimApplication::AlertText&) { return -1; };  // closed by the quit
    ProgramRun first(world);
    world.loop.advance(Shell::kConsentDelay + 1);
    ASSERT_EQ(app.alertsShown, (std::vector<std::string>{Editor::kConsentMessage, Shell::kConsentMessage}));
    EXPECT_FALSE(p.vscodeTerminalKeysAsked.get());
  }  // quits with the shell's question still open
  EXPECT_FALSE(p.terminalShellIntegrationAsked.get());
  EXPECT_FALSE(p.terminalShellIntegrationAllowed.get());

  app.presentModal = [](const sim::SimApplication::AlertText&) { return 0; };
  ProgramRun second(world);
  world.loop.advance(Shell::kConsentDelay + 1);
  EXPECT_EQ(app.alertsShown.size(), 4u);
  EXPECT_TRUE(p.vscodeTerminalKeysAllowed.get());
  ASSERT_TRUE(app.answerAlert(1));
  world.loop.runUntilIdle();
  EXPECT_TRUE(p.terminalShellIntegrationAsked.get());
  EXPECT_FALSE(p.terminalShellIntegrationAllowed.get());
}

}  // namespace
}  // namespace velvix
