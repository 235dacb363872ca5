#include <gtest/gtest.h>

#include "Core/Preferences.hpp"
#include "Input/AXDeadline.hpp"
#include "Input/TerminalMouseSelection.hpp"
#include "Platform/Simulated/SimAccessibility.hpp"
#include "Support/TerminalIntegrationInstaller.hpp"
#include "TestSupport/ChildProcess.hpp"
#include "TestSupport/LogLines.hpp"
#include "TestSupport/TestWorld.hpp"

namespace velvix {
namespace {

using Selection = TerminalMouseSelection::Selection;

struct SelectionWorld : test::TestWorld {
  SelectionWorld() {
    defaults.set("debugLogging", true);
    services();
    terminal = launchWithWindows("com.apple.Terminal", "Terminal", {"zsh"});
    window = desktop.windowsOf(terminal).front();
  }
  sim::SimTextArea& area(const std::string& text) {
    desktop.window(window)->textArea = sim::SimTextArea{.text = text};
    return *desktop.window(window)->textArea;
  }
  std::optional<Selection> read() {
    const AXDeadline deadline(loop, AXDeadline::kTapBudget);
    return selection.current(terminal, deadline);
  }
  bool logged(const std::string& line) {
    const auto lines = debugLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  TerminalMouseSelection selection{desktop.accessibility(), desktop.input(), desktop.workspace(), log(),
                                   home.path()};
  platform::Pid terminal = 0;
  std::int64_t window = 0;
};

TEST(TerminalMouseSelection, OnlyAHighlightOnThePromptLineIsTaken) {
  SelectionWorld w;
  const std::string text = "~ % ls\nnotes.txt  todo.txt\n~ % cat notes.txt   \u00a0";
  w.area(text).highlight("cat");
  auto taken = w.read();
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->text, "cat");
  EXPECT_EQ(taken->after, 10u);  // " notes.txt", the trailing blanks left out

  w.area(text).highlight("notes.txt");  // the last one: on the prompt line, nothing after it
  EXPECT_EQ(w.read()->after, 0u);

  auto& earlier = w.area(text);
  earlier.selection = {7, 9};  // "notes.txt" of the output line
  EXPECT_FALSE(w.read());
  EXPECT_TRUE(w.logged("mouse-select: selection is above the prompt line; ignored"));

  w.area(text).highlight("todo.txt\n~ %");
  EXPECT_FALSE(w.read());
  EXPECT_TRUE(w.logged("mouse-select: selection spans lines; ignored"));
}

TEST(TerminalMouseSelection, TheTextAreaIsFoundBelowTheWindowAndFailuresTakeNothing) {
  SelectionWorld w;
  auto& area = w.area("~ % echo hello");
  area.highlight("hello");
  area.focusedIsTextArea = false;  // the focus is on the scroll area around it
  ASSERT_TRUE(w.read());
  EXPECT_EQ(w.read()->text, "hello");

  area.failingAttributes = {"AXSelectedText"};  // read through the range instead
  EXPECT_EQ(w.read()->text, "hello");
  area.failingAttributes = {"AXNumberOfCharacters"};
  EXPECT_FALSE(w.read());
  EXPECT_TRUE(w.logged("mouse-select: no character count"));
  area.failingAttributes = {"AXStringForRange"};
  EXPECT_FALSE(w.read());
  EXPECT_TRUE(w.logged("mouse-select: no text after selection"));
  area.failingAttributes = {};
  area.selection = {0, 0};
  EXPECT_FALSE(w.read());

  w.desktop.window(w.window)->textArea.reset();
  EXPECT_FALSE(w.read());
  EXPECT_TRUE(w.logged("mouse-select: no text element"));
}

// Both sides count the characters after the highlight in code points, and the shell deletes the
// highlighted text only where it stands literally.
TEST(TerminalMouseSelection, ARealZshRemovesExactlyTheHighlightedOccurrence) {
  SelectionWorld w;
  w.preferences().terminalShellIntegrationAllowed.set(true);
  w.terminalIntegration().install();
  const std::string line = "echo x x \U0001F600\U0001F600\U0001F600\U0001F600\U0001F600 end";
  w.area("~ % " + line + "  ").highlight("x");  // the second x
  auto taken = w.read();
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->after, 10u);  // five faces of two UTF-16 units each count one each
  ASSERT_TRUE(w.selection.requestReplacement(*taken, {}, false));

  auto widget = [&](const std::string& buffer) {
    test::ChildProcess zsh("/bin/sh",
                           {"-c",
                            "zsh -f -i -c 'source \"$1\"; BUFFER=$2; CURSOR=3; velvix-mouse-replace; print "
                            "-r -- \"$BUFFER|$CURSOR\"' "
                            "zsh \"$1\" \"$2\" 2>&1",
                            "sh", w.terminalIntegration().scriptPath().string(), buffer},
                           {{"HOME", w.home.path().string()}, {"LANG", "C.UTF-8"}, {"LC_ALL", "C.UTF-8"}});
    std::string out = zsh.read(1 << 16);
    zsh.waitForExit();
    return out;
  };
  EXPECT_EQ(widget(line), "echo x  \U0001F600\U0001F600\U0001F600\U0001F600\U0001F600 end|7\n");

  // "a*" as a pattern would match "ab"; as text it is not on the command line at all.
  ASSERT_TRUE(w.selection.requestReplacement({"a*", 0, ""}, {}, false));
  EXPECT_EQ(widget("echo ab"), "echo ab|3\n");

  // Blanks after the command line, or a right-hand prompt on it, do not move the occurrence meant.
  w.area("~ % echo ab ab   ").selection = {9, 2};  // the first "ab"
  ASSERT_TRUE(w.selection.requestReplacement(*w.read(), {}, false));
  EXPECT_EQ(widget("echo ab ab   "), "echo  ab   |5\n");
  w.area("~ % echo ab ab                   main ab").selection = {12, 2};  // the second, then the prompt
  ASSERT_TRUE(w.selection.requestReplacement(*w.read(), {}, false));
  EXPECT_EQ(widget("echo ab ab"), "echo ab |8\n");

  // A hand-off is taken by the first shell that uses it; another open shell finds none.
  w.area("~ % echo ab ab").selection = {9, 2};
  ASSERT_TRUE(w.selection.requestReplacement(*w.read(), {}, false));
  EXPECT_EQ(widget("echo ab ab"), "echo  ab|5\n");
  EXPECT_EQ(widget("echo ab ab"), "echo ab ab|3\n");
  EXPECT_FALSE(std::filesystem::exists(w.selection.handoffPath()));
}

}  // namespace
}  // namespace velvix
