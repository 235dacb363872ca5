#include "Input/TerminalEditingKeys.hpp"

#include "Core/Preferences.hpp"
#include "Input/AXDeadline.hpp"
#include "Input/TerminalMouseSelection.hpp"
#include "Platform/Accessibility.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/Utf8.hpp"
#include "Support/TerminalApps.hpp"

namespace velvix {

using platform::EventType;
using platform::InputEvent;
namespace Flag = platform::EventFlag;
namespace Key = platform::KeyCode;

TerminalEditingKeys::TerminalEditingKeys(const Preferences& preferences, platform::Workspace& workspace,
                                         platform::Accessibility& accessibility,
                                         TerminalMouseSelection& mouseSelection, platform::MainLoop& loop)
    : preferences_(preferences),
      workspace_(workspace),
      accessibility_(accessibility),
      mouseSelection_(mouseSelection),
      loop_(loop) {}

TerminalEditingKeys::Features TerminalEditingKeys::currentFeatures() const {
  const Preferences& p = preferences_;
  return {p.terminalLineJumpEnabled.get(),   p.terminalLineDeleteEnabled.get(),
          p.terminalUndoRedoEnabled.get(),   p.terminalCharSelectEnabled.get(),
          p.terminalWordSelectEnabled.get(), p.terminalLineSelectEnabled.get(),
          p.terminalCutEnabled.get(),        p.terminalMouseSelectEnabled.get()};
}

std::optional<TerminalEditingKeys::Replacement> TerminalEditingKeys::replacement(std::int64_t code,
                                                                                 std::uint64_t flags,
                                                                                 const Features& f) {
  // Only Shift, Control, Option and Command count; the arrows' function and keypad bits do not.
  const std::uint64_t mods = flags & Flag::kModifiers;
  if (mods & Flag::kControl) return std::nullopt;
  const bool optionShift = mods == (Flag::kOption | Flag::kShift);
  const bool commandShift = mods == (Flag::kCommand | Flag::kShift);
  const bool command = mods == Flag::kCommand;
  if (optionShift && f.wordSelect) {
    if (code == Key::kRightArrow) return Replacement{kF14, 0};
    if (code == Key::kLeftArrow) return Replacement{kF13, 0};
  }
  if (commandShift) {
    if (code == Key::kRightArrow && f.lineSelect) return Replacement{kF19, 0};
    if (code == Key::kLeftArrow && f.lineSelect) return Replacement{kF18, 0};
    if (code == kZ && f.undoRedo) return Replacement{kF17, 0};
  }
  if (command) {
    if (code == kZ && f.undoRedo) return Replacement{kMinus, Flag::kControl | Flag::kShift};
    if (code == kX && f.cut) return Replacement{kF16, 0};
    if (code == kDelete && f.lineDelete) return Replacement{kU, Flag::kControl};
    if (code == kForwardDelete && f.lineDelete) return Replacement{kK, Flag::kControl};
    if (code == Key::kLeftArrow && f.lineJump) return Replacement{kA, Flag::kControl};
    if (code == Key::kRightArrow && f.lineJump) return Replacement{kE, Flag::kControl};
  }
  return std::nullopt;
}

bool TerminalEditingKeys::isFunctionKey(std::int64_t code) {
  return code == kF17 || code == kF18 || code == kF19 || code == kF13 || code == kF16 || code == kF14;
}

TerminalEditingKeys::Outcome TerminalEditingKeys::handle(InputEvent& event) {
  if (!preferences_.terminalEditingKeysEnabled.get()) return Outcome::pass;
  const Features features = currentFeatures();
  const auto rewrite = replacement(event.keyCode, event.flags, features);
  if (!rewrite) return replaceMouseSelection(event, features);

  const auto front = workspace_.frontmostApplication();
  if (!front) return Outcome::pass;
  const TerminalApps::Terminal* terminal = TerminalApps::terminal(front->bundleIdentifier);
  if (!terminal) return Outcome::pass;
  // A terminal that keeps F13-F19 to itself keeps those chords' own meaning.
  if (!terminal->functionKeys && isFunctionKey(rewrite->keyCode)) return Outcome::pass;
  mouseSelection_.armed = false;

  Replacement applied = *rewrite;
  if (applied.keyCode == kF16 && terminal->functionKeys) {
    const AXDeadline deadline(loop_, AXDeadline::kTapBudget);
    if (claudeOwnsFrontWindow(front->pid, deadline)) applied = {kDelete, 0};
  }
  event.keyCode = applied.keyCode;
  event.flags = applied.flags;
  return Outcome::pass;
}

std::optional<bool> TerminalEditingKeys::resendAfterReplacing(const InputEvent& event) {
  if (event.type != EventType::keyDown || (event.flags & (Flag::kCommand | Flag::kControl)))
    return std::nullopt;
  if (event.keyCode == kDelete || event.keyCode == kForwardDelete) return false;
  // The typed text, as far as an event carries it (up to 8 UTF-16 units).
  if (event.text.empty()) return std::nullopt;
  for (char32_t c : utf8::decode(utf8::prefix(event.text, 8)))
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return std::nullopt;
  return true;
}

TerminalEditingKeys::Outcome TerminalEditingKeys::replaceMouseSelection(InputEvent& event,
                                                                        const Features& features) {
  TerminalMouseSelection& selection = mouseSelection_;
  if (!features.mouseSelect || !selection.armed) return Outcome::pass;
  // The zsh widget that takes the highlight away exists only with the integration installed.
  if (!preferences_.terminalShellIntegrationAllowed.get()) return Outcome::pass;
  const auto resend = resendAfterReplacing(event);
  if (!resend) return Outcome::pass;
  const auto front = workspace_.frontmostApplication();
  if (!front) return Outcome::pass;
  const TerminalApps::Terminal* terminal = TerminalApps::terminal(front->bundleIdentifier);
  if (!terminal || !terminal->functionKeys) return Outcome::pass;
  selection.armed = false;  // one attempt per highlight

  const AXDeadline deadline(loop_, AXDeadline::kTapBudget);
  if (claudeOwnsFrontWindow(front->pid, deadline)) return Outcome::pass;
  const auto highlighted = selection.current(front->pid, deadline);
  if (!highlighted) return Outcome::pass;
  return selection.requestReplacement(*highlighted, event, *resend) ? Outcome::consume : Outcome::pass;
}

bool TerminalEditingKeys::claudeOwnsFrontWindow(platform::Pid terminalPID, const AXDeadline& deadline) {
  const double now = loop_.uptime();
  if (claudeCheck_ && now - claudeCheck_->takenAt < kTitleCacheLifetime) return claudeCheck_->result;
  platform::Accessibility& ax = accessibility_;
  bool result = false;
  const platform::AXElement application = ax.applicationElement(terminalPID);
  platform::AXValue value;
  if (deadline.bound(ax, application, kTitleMessagingTimeout) &&
      ax.copyAttribute(application, platform::AXAttribute::kFocusedWindow, value) ==
          platform::AXError::success) {
    const auto* focused = std::get_if<platform::AXElement>(&value);
    const platform::AXElement window = focused ? *focused : platform::AXElement{};
    if (window && deadline.bound(ax, window, kTitleMessagingTimeout) &&
        ax.copyAttribute(window, platform::AXAttribute::kTitle, value) == platform::AXError::success) {
      if (const auto* title = std::get_if<std::string>(&value))
        result = utf8::containsCaseInsensitive(*title, "claude");
    }
  }
  claudeCheck_ = TitleCheck{result, loop_.uptime()};
  return result;
}

}  // namespace velvix
