#include <gtest/gtest.h>

#include "Core/Preferences.hpp"
#include "Input/AXDeadline.hpp"
#include "Input/EventTap.hpp"
#include "Input/TerminalEditingKeys.hpp"
#include "Input/TerminalMouseSelection.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Simulated/SimInput.hpp"
#include "Platform/Simulated/SimLineEditor.hpp"
#include "Platform/Simulated/SimPasteboard.hpp"
#include "TestSupport/AppWorld.hpp"

namespace velvix {
namespace {

using platform::EventType;
using platform::InputEvent;
using Keys = TerminalEditingKeys;
namespace Flag = platform::EventFlag;
namespace Key = platform::KeyCode;

// What reached the application in front, one "<down|up> <key> <modifier flags>" line per event.
struct Seen {
  std::string kind;
  std::int64_t key;
  std::uint64_t flags;
  bool operator==(const Seen&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Seen& s) {
  return out << s.kind << " " << s.key << " 0x" << std::hex << s.flags << std::dec;
}

// A terminal in front whose window shows a prompt line, with the zsh integration allowed.
struct TermWorld : test::AppWorld {
  explicit TermWorld(const std::string& bundleID = "com.apple.Terminal", const std::string& title = "zsh") {
    notes = launchApp("com.example.notes", "Notes", {"Ideas"});
    terminal = launchApp(bundleID, "Term", {title});
    window = desktop.windowsOf(terminal).front();
    desktop.window(window)->textArea =
        sim::SimTextArea{.text = "user@host ~ % ls\nnotes.txt\nuser@host ~ % echo hello world  "};
    beforeLaunch = [](Services& s) {
      s.preferences->terminalShellIntegrationAsked.set(true);
      s.preferences->terminalShellIntegrationAllowed.set(true);
      s.preferences->terminalLineSelectEnabled.set(true);
    };
    launch();
    front(terminal);
  }
  void front(platform::Pid pid) {
    desktop.activate(pid);
    pause(0.5);
  }
  std::vector<Seen> press(std::int64_t key, std::uint64_t flags, std::string text = {}) {
    auto& reached = desktop.input().reachedFrontApplication;
    reached.clear();
    desktop.input().send({.type = EventType::keyDown, .keyCode = key, .flags = flags, .text = text});
    desktop.input().send({.type = EventType::keyUp, .keyCode = key, .flags = flags, .text = text});
    loop.runUntilIdle();
    std::vector<Seen> seen;
    for (const InputEvent& e : reached)
      if (e.type == EventType::keyDown || e.type == EventType::keyUp)
        seen.push_back({e.type == EventType::keyDown ? "down" : "up", e.keyCode, e.flags & Flag::kModifiers});
    return seen;
  }
  // A mouse drag across the terminal's window, which highlights `part` of its text.
  void drag(const std::string& part) {
    const Rect b = desktop.window(window)->bounds;
    desktop.input().send({.type = EventType::leftMouseDown, .location = {b.x + 40, b.y + 200}});
    desktop.input().send({.type = EventType::leftMouseUp, .location = {b.x + 90, b.y + 200}});
    ASSERT_TRUE(desktop.window(window)->textArea->highlight(part));
    loop.runUntilIdle();
  }
  std::vector<Seen> pressed(std::int64_t key, std::uint64_t flags) {
    return {{"down", key, flags}, {"up", key, flags}};
  }
  platform::Pid notes = 0, terminal = 0;
  std::int64_t window = 0;
};

TEST(TerminalEditingKeys, TheRewriteTableMapsEachChordUnderItsFeature) {
  Keys::Features all{true, true, true, true, true, true, true, true};
  const std::uint64_t cmd = Flag::kCommand, shift = Flag::kShift, opt = Flag::kOption;
  struct Row {
    std::int64_t key;
    std::uint64_t flags;
    std::optional<Keys::Replacement> expected;
  };
  const std::uint64_t fn = 0x800000, pad = 0x200000;  // the arrows' own function and keypad bits
  for (const Row& row : std::vector<Row>{
           {Key::kRightArrow, opt | shift, Keys::Replacement{Keys::kF14, 0}},
           {Key::kLeftArrow, opt | shift | fn | pad, Keys::Replacement{Keys::kF13, 0}},
           {Key::kRightArrow, cmd | shift, Keys::Replacement{Keys::kF19, 0}},
           {Key::kLeftArrow, cmd | shift, Keys::Replacement{Keys::kF18, 0}},
           {Keys::kZ, cmd | shift, Keys::Replacement{Keys::kF17, 0}},
           {Keys::kZ, cmd, Keys::Replacement{Keys::kMinus, Flag::kControl | Flag::kShift}},
           {Keys::kX, cmd, Keys::Replacement{Keys::kF16, 0}},
           {Keys::kDelete, cmd, Keys::Replacement{Keys::kU, Flag::kControl}},
           {Keys::kForwardDelete, cmd, Keys::Replacement{Keys::kK, Flag::kControl}},
           {Key::kLeftArrow, cmd | fn | pad, Keys::Replacement{Keys::kA, Flag::kControl}},
           {Key::kRightArrow, cmd, Keys::Replacement{Keys::kE, Flag::kControl}},
           {Key::kLeftArrow, cmd | opt, std::nullopt},             // Command with Option never
           {Key::kLeftArrow, cmd | Flag::kControl, std::nullopt},  // nor anything with Control
           {Key::kLeftArrow, shift, std::nullopt},                 // Shift-arrows reach zsh as they are
           {Key::kLeftArrow, opt, std::nullopt},
           {Keys::kX, cmd | shift, std::nullopt},
       })
    EXPECT_EQ(Keys::replacement(row.key, row.flags, all), row.expected) << row.key << " " << row.flags;

  Keys::Features none{};
  EXPECT_EQ(Keys::replacement(Key::kLeftArrow, cmd, none), std::nullopt);
  EXPECT_EQ(Keys::replacement(Keys::kZ, cmd | shift, none), std::nullopt);
}

TEST(TerminalEditingKeys, EditorChordsReachTheTerminalRewrittenAndNothingElse) {
  TermWorld w;
  const std::uint64_t ctrl = Flag::kControl;
  EXPECT_EQ(w.press(Key::kLeftArrow, Flag::kCommand | 0x800000), w.pressed(Keys::kA, ctrl));
  EXPECT_EQ(w.press(Key::kRightArrow, Flag::kCommand), w.pressed(Keys::kE, ctrl));
  EXPECT_EQ(w.press(Keys::kDelete, Flag::kCommand), w.pressed(Keys::kU, ctrl));
  EXPECT_EQ(w.press(Keys::kForwardDelete, Flag::kCommand), w.pressed(Keys::kK, ctrl));
  EXPECT_EQ(w.press(Keys::kZ, Flag::kCommand), w.pressed(Keys::kMinus, ctrl | Flag::kShift));
  EXPECT_EQ(w.press(Keys::kZ, Flag::kCommand | Flag::kShift), w.pressed(Keys::kF17, 0));
  EXPECT_EQ(w.press(Key::kLeftArrow, Flag::kCommand | Flag::kShift), w.pressed(Keys::kF18, 0));
  EXPECT_EQ(w.press(Key::kRightArrow, Flag::kOption | Flag::kShift), w.pressed(Keys::kF14, 0));
  EXPECT_EQ(w.press(Keys::kX, Flag::kCommand), w.pressed(Keys::kF16, 0));
  // Outside a terminal, and with the editing keys off, the chord is left alone.
  w.front(w.notes);
  EXPECT_EQ(w.press(Key::kLeftArrow, Flag::kCommand), w.pressed(Key::kLeftArrow, Flag::kCommand));
  w.front(w.terminal);
  w.services().preferences->terminalEditingKeysEnabled.set(false);
  EXPECT_EQ(w.press(Key::kLeftArrow, Flag::kCommand), w.pressed(Key::kLeftArrow, Flag::kCommand));
}

// A key still held from a chord that consumed its key-down, pressed again as an editing chord:
// the rewritten key-down clears the consumed one from the ledger under the key the user pressed,
// so its key-up reaches the terminal rewritten, with its key-down.
TEST(TerminalEditingKeys, ARewrittenKeyKeepsItsKeyUpAfterAChordConsumedTheSameKey) {
  TermWorld w;
  w.hold(Flag::kCommand);
  w.tab();
  w.desktop.input().send({.type = EventType::keyDown, .keyCode = Key::kLeftArrow, .flags = Flag::kCommand});
  w.loop.runUntilIdle();
  w.release();
  w.front(w.terminal);
  EXPECT_EQ(w.press(Key::kLeftArrow, Flag::kCommand), w.pressed(Keys::kA, Flag::kControl));
}

TEST(TerminalEditingKeys, TerminalsThatKeepFunctionKeysKeepOnlyTheirChords) {
  TermWorld w("co.zeit.hyper");
  EXPECT_EQ(w.press(Key::kLeftArrow, Flag::kCommand | Flag::kShift),
            w.pressed(Key::kLeftArrow, Flag::kCommand | Flag::kShift));
  EXPECT_EQ(w.press(Key::kLeftArrow, Flag::kCommand), w.pressed(Keys::kA, Flag::kControl));
}

TEST(TerminalEditingKeys, CutBecomesDeleteUnderAClaudeTitleAndTheAnswerIsKeptTwoSeconds) {
  TermWorld w("com.apple.Terminal", "claude — ~/project");
  EXPECT_EQ(w.press(Keys::kX, Flag::kCommand), w.pressed(Keys::kDelete, 0));
  // Another terminal within 2 s gets the kept answer; after that it is asked afresh.
  const auto other = w.launchApp("com.googlecode.iterm2", "iTerm2", {"zsh"});
  w.desktop.activate(other);
  w.loop.advance(1.0);
  EXPECT_EQ(w.press(Keys::kX, Flag::kCommand), w.pressed(Keys::kDelete, 0));
  w.loop.advance(2.0);
  EXPECT_EQ(w.press(Keys::kX, Flag::kCommand), w.pressed(Keys::kF16, 0));
}

TEST(TerminalEditingKeys, TypingOverAMouseHighlightHandsItToZshAndResendsTheKey) {
  TermWorld w;
  w.drag("hello");
  const auto seen = w.press(Keys::kX, 0, "x");
  // F15 first, then the typed key again; the user's own key-down and key-up never arrive.
  EXPECT_EQ(seen,
            (std::vector<Seen>{
                {"down", Keys::kF15, 0}, {"up", Keys::kF15, 0}, {"down", Keys::kX, 0}, {"up", Keys::kX, 0}}));
  const auto path = w.services().mouseSelection->handoffPath();
  EXPECT_EQ(files::readAll(path), std::to_string(w.desktop.selfPid()) + "-1 6\nhello\n world\n");
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  // One attempt per highlight: the next key is typed as it is.
  EXPECT_EQ(w.press(Keys::kX, 0, "x"), w.pressed(Keys::kX, 0));

  // Delete over a highlight removes it without a resend; the next Delete, in another
  // application, arrives whole (its key-up is not swallowed in place of the first one's).
  w.drag("world");
  EXPECT_EQ(w.press(Keys::kDelete, 0), (std::vector<Seen>{{"down", Keys::kF15, 0}, {"up", Keys::kF15, 0}}));
  EXPECT_EQ(files::readAll(path), std::to_string(w.desktop.selfPid()) + "-2 0\nworld\n\n");
  w.front(w.notes);
  EXPECT_EQ(w.press(Keys::kDelete, 0), w.pressed(Keys::kDelete, 0));

  // Quitting removes the hand-off file.
  w.app->terminate();
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(TerminalEditingKeys, AHighlightIsLeftAloneWhenTheShellCannotTakeIt) {
  TermWorld w;
  w.drag("hello");
  EXPECT_EQ(w.press(36, 0, "\r"), w.pressed(36, 0));  // Return: a control character
  w.services().preferences->terminalShellIntegrationAllowed.set(false);
  w.drag("hello");
  EXPECT_EQ(w.press(Keys::kX, 0, "x"), w.pressed(Keys::kX, 0));
  EXPECT_FALSE(std::filesystem::exists(w.services().mouseSelection->handoffPath()));
}

// The terminal's shell acts on the keys the chords become, so a person sees each chord do what
// the settings pane promises.
TEST(TerminalEditingKeys, TheTerminalsShellMovesDeletesUndoesSelectsAndCutsWithTheChords) {
  TermWorld w;
  const sim::SimTextArea& area = *w.desktop.window(w.window)->textArea;
  auto line = [&] { return area.text.substr(sim::SimLineEditor::lineStart(area)); };
  constexpr std::int64_t kX = 7, kZ = 6, kDelete = 51;

  w.press(Key::kLeftArrow, Flag::kCommand);
  w.press(kX, 0, "x");
  EXPECT_EQ(line(), "xecho hello world  ");
  w.press(Key::kRightArrow, Flag::kCommand);
  w.press(kDelete, Flag::kCommand);
  EXPECT_EQ(line(), "");
  w.press(kZ, Flag::kCommand);
  EXPECT_EQ(line(), "xecho hello world  ");

  // A word selected backwards is replaced by what is typed; the line selected is cut.
  w.press(Key::kLeftArrow, Flag::kShift | Flag::kOption);
  w.press(kX, Flag::kShift, "X");
  EXPECT_EQ(line(), "xecho hello X");
  w.press(Key::kLeftArrow, Flag::kShift | Flag::kCommand);
  w.press(kX, Flag::kCommand);
  EXPECT_EQ(line(), "");
  EXPECT_EQ(w.desktop.pasteboard().string(), "xecho hello X");
  EXPECT_EQ(area.text.substr(0, area.text.rfind('\n')), "user@host ~ % ls\nnotes.txt");
}

TEST(TerminalEditingKeys, ASlowTerminalNeverHoldsTheTapPastItsBudget) {
  TermWorld w;
  w.desktop.app(w.terminal)->axLatency = 0.14;  // each answer in time, many of them too slow together
  w.drag("hello");
  EXPECT_EQ(w.press(Keys::kX, 0, "x"), w.pressed(Keys::kX, 0));
  EventTap& tap = *w.app->delegate().eventTap();
  EXPECT_TRUE(tap.isEnabled());
  double slowest = 0;
  for (const auto& info : w.desktop.input().tapList())
    if (info.ownerPID == w.desktop.selfPid()) slowest = std::max(slowest, info.maxLatencyMicroseconds / 1e6);
  EXPECT_LE(slowest, AXDeadline::kTapBudget + 1e-6);
}

}  // namespace
}  // namespace velvix
