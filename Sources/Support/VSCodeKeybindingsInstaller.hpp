#pragma once
// Keeps a marked block of terminal keybindings in the user's keybindings.json of every editor of
// the VS Code family, so their terminal panel sends the same sequences the rewritten terminal keys
// produce. The block is present exactly while the editing keys are on and the user has agreed
// (asked once, after the set-up window), and follows the terminal settings. Everything outside
// the block is the user's and stays byte for byte: the block, with the comma the user's last entry
// may need, is one run of lines that removal takes out whole. A file that cannot be read or
// written, is not UTF-8, has no array or unbalanced brackets, or holds half a block is left as it
// is, with a log line and a note for the Terminal pane. Main thread only.

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/NotificationCenter.hpp"
#include "Support/ConsentQuestion.hpp"
#include "Support/FencedBlock.hpp"
#include "Support/Setting.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class Application;
class MainLoop;
}  // namespace platform

class VSCodeKeybindingsInstaller {
 public:
  static constexpr const char* kOpeningMarker = "// >>> Velvix terminal keys >>>";
  static constexpr const char* kClosingMarker = "// <<< Velvix terminal keys <<<";
  static constexpr const char* kNewFileHeader =
      "// Managed in part by Velvix — the marked block below is rewritten\n"
      "// when you change Velvix's Terminal settings, and removed when you\n"
      "// turn the feature off. Everything outside it is yours.\n[\n";
  // The editors' folders under "Library/Application Support", in order.
  static constexpr std::array<const char*, 10> kEditors = {
      "Code", "Code - Insiders", "VSCodium", "Cursor",  "Windsurf", "Kiro",
      "Trae", "Trae CN",         "Void",     "Positron"};

  static constexpr const char* kConsentMessage = "Add the terminal editing keys to VS Code?";
  static constexpr const char* kConsentText =
      "VS Code handles its own keyboard, so Velvix can't reach the integrated terminal the way it reaches "
      "Terminal.app. Instead it can add a marked block to your keybindings.json that sends the same keys — "
      "⌘← / ⌘→, ⌘⌫, ⌘X, ⌘Z — but only while the terminal panel has focus.\n\nYour editor keys are untouched, "
      "and Velvix removes the block when you switch the feature off.";
  static constexpr const char* kAllowButton = "Add to keybindings.json";
  static constexpr const char* kNotNowButton = "Not Now";

  // The user's settings it follows (named as the settings store names them): the switch and the
  // answer to the question, and which of the terminal keys the block holds. It writes only the two
  // that remember the user's answer.
  struct Settings {
    const Setting<bool>& terminalEditingKeysEnabled;
    Setting<bool>& vscodeTerminalKeysAllowed;
    Setting<bool>& vscodeTerminalKeysAsked;
    const Setting<bool>& hasCompletedOnboarding;
    const Setting<bool>& terminalLineJumpEnabled;
    const Setting<bool>& terminalLineDeleteEnabled;
    const Setting<bool>& terminalUndoRedoEnabled;
    const Setting<bool>& terminalCutEnabled;
    const Setting<bool>& terminalWordSelectEnabled;
    const Setting<bool>& terminalLineSelectEnabled;
  };
  // `application` puts the question, `notifications` tells of every settings change (observed on
  // `loop`), `consentTurns` keeps the question from appearing beside another, `log` takes what
  // stood in the way, and the editors' files live under `home`.
  struct Collaborators {
    platform::Application& application;
    platform::NotificationCenter& notifications;
    platform::MainLoop& loop;
    DebugLog& log;
    ConsentQuestion::Turns& consentTurns;
    Settings settings;
    std::filesystem::path home;
  };

  explicit VSCodeKeybindingsInstaller(Collaborators collaborators);
  VSCodeKeybindingsInstaller(const VSCodeKeybindingsInstaller&) = delete;
  VSCodeKeybindingsInstaller& operator=(const VSCodeKeybindingsInstaller&) = delete;

  // Reconciles now and on every settings change.
  void reconcileAtLaunch();
  void reconcile();
  void requestConsentIfNeeded();
  // Why the last reconcile left some editor's file as it was, for the Terminal pane; empty when none.
  const std::string& leftAloneNote() const { return leftAloneNote_; }
  ConsentQuestion& consentQuestion() { return consent_; }
  // The keybindings files of the editors whose "User" folder exists, in table order.
  std::vector<std::filesystem::path> keybindingsURLs() const;
  std::string renderBlock() const;

  // The file's text as it was before `inserting` added the block: without the block's lines and
  // the line breaks around them, and without the new-file header when nothing else is left.
  // A text without a complete block is returned as it is.
  static std::string removingFence(std::string_view text);
  // The text with `block` added at the end of its top-level array, in the text's own line
  // endings, behind a comma line when the user's last entry has none; nothing when the text is
  // not one whole array (arrayProblem says why).
  static std::optional<std::string> inserting(std::string_view block, std::string_view text);
  // The position of the top-level array's closing bracket, in a text (past a byte-order mark)
  // whose first significant character opens an array that closes with every bracket paired, and
  // is followed by nothing but blanks and comments.
  static std::optional<std::size_t> arrayEnd(std::string_view text);
  // Why a text has no array end: "has no array to insert into" or "has brackets that do not pair up".
  static std::string arrayProblem(std::string_view text);
  // The last character before `before` that is neither white space nor inside a comment.
  static std::optional<std::size_t> lastSignificantIndex(std::size_t before, std::string_view text);

 private:
  void reconcileFiles(bool wanted);
  void log(const std::string& line) const;

  platform::Application& application_;
  platform::NotificationCenter& notifications_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  const Settings settings_;
  const std::filesystem::path home_;
  bool isAsking_ = false;
  std::string leftAloneNote_;
  ConsentQuestion consent_;
  platform::NotificationCenter::Observation preferencesObservation_;
};

}  // namespace velvix
