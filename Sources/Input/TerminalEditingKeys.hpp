#pragma once
// The editing chords of a text editor in terminal applications. Inside the event tap it rewrites a
// key event in place into what a terminal and the user's zsh understand: Command-arrows become
// Control-A / Control-E, Command-Delete Control-U / Control-K, Command-Z Control-underscore, and
// the selection, redo and cut chords the function keys F13-F19 that the zsh integration binds.
// Typing over a mouse highlight goes to TerminalMouseSelection and the key is consumed; the tap's
// key-up ledger then swallows its key-up. Main thread only (the tap's callback).

#include <cstdint>
#include <optional>

#include "Platform/InputEvent.hpp"
#include "Platform/Workspace.hpp"

namespace velvix {

namespace platform {
class Accessibility;
class MainLoop;
}  // namespace platform

class AXDeadline;
class Preferences;
class TerminalMouseSelection;

class TerminalEditingKeys {
 public:
  enum class Outcome { pass, consume };

  struct Features {
    bool lineJump = false;
    bool lineDelete = false;
    bool undoRedo = false;
    bool charSelect = false;
    bool wordSelect = false;
    bool lineSelect = false;
    bool cut = false;
    bool mouseSelect = false;
  };

  struct Replacement {
    std::int64_t keyCode;
    std::uint64_t flags;  // the event's complete new flags
    bool operator==(const Replacement&) const = default;
  };

  // Virtual key codes of the rewrites.
  static constexpr std::int64_t kA = 0, kE = 14, kZ = 6, kX = 7, kU = 32, kK = 40, kMinus = 27, kDelete = 51,
                                kForwardDelete = 117, kF13 = 105, kF14 = 107, kF15 = 113, kF16 = 106,
                                kF17 = 64, kF18 = 79, kF19 = 80;
  static constexpr double kTitleMessagingTimeout = 0.15;
  static constexpr double kTitleCacheLifetime = 2.0;

  // The chords and features switched on are read from `preferences`; the frontmost terminal from
  // `workspace`, its window's title through `accessibility`; a highlight left by the mouse is
  // `mouseSelection`'s. Deadlines run on `loop`.
  TerminalEditingKeys(const Preferences& preferences, platform::Workspace& workspace,
                      platform::Accessibility& accessibility, TerminalMouseSelection& mouseSelection,
                      platform::MainLoop& loop);

  // Key-downs the switcher did not use and key-ups the ledger did not swallow, outside a chord.
  Outcome handle(platform::InputEvent& event);
  Features currentFeatures() const;
  // The pure rewrite table: nothing when the chord is not rewritten under `features`.
  static std::optional<Replacement> replacement(std::int64_t keyCode, std::uint64_t flags,
                                                const Features& features);
  // Whether a typed key is posted again after the highlight goes (true), is the whole effect
  // (false, the delete keys), or does not replace a highlight at all (nothing).
  static std::optional<bool> resendAfterReplacing(const platform::InputEvent& event);
  // Whether the terminal's focused window has "claude" in its title: a program running there with
  // its own line editor takes a plain Delete rather than the cut key. One answer is kept for 2 s,
  // whichever terminal asks.
  bool claudeOwnsFrontWindow(platform::Pid terminalPID, const AXDeadline& deadline);

 private:
  Outcome replaceMouseSelection(platform::InputEvent& event, const Features& features);
  static bool isFunctionKey(std::int64_t keyCode);

  struct TitleCheck {
    bool result;
    double takenAt;
  };
  const Preferences& preferences_;
  platform::Workspace& workspace_;
  platform::Accessibility& accessibility_;
  TerminalMouseSelection& mouseSelection_;
  platform::MainLoop& loop_;
  std::optional<TitleCheck> claudeCheck_;
};

}  // namespace velvix
