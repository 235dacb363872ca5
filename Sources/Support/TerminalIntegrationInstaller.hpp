#pragma once
// Keeps the zsh integration of the terminal editing keys: the generated script "velvix.zsh" in
// the support folder and a marked block in ~/.zshrc that sources it, present exactly while the
// editing keys are on and the user has agreed. It asks that once, after the set-up window. The
// user's ~/.zshrc is only ever changed by adding or removing our own block, atomically, through
// a symbolic link, with its permission bits kept; one it cannot read or understand stays as it is.
// Main thread only.

#include <filesystem>
#include <functional>
#include <string>

#include "Platform/Linux/UserTextFile.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Support/AliveToken.hpp"
#include "Support/ConsentQuestion.hpp"
#include "Support/FencedBlock.hpp"
#include "Support/Setting.hpp"

namespace velvix {

class DebugLog;
namespace platform {
class Application;
class MainLoop;
}  // namespace platform

class TerminalIntegrationInstaller {
 public:
  static constexpr const char* kOpeningFence = "# >>> Velvix terminal integration >>>";
  static constexpr const char* kSourceLine =
      "[ -f \"$HOME/Library/Application Support/Velvix/velvix.zsh\" ] && "
      "source \"$HOME/Library/Application Support/Velvix/velvix.zsh\"";
  static constexpr const char* kClosingFence = "# <<< Velvix terminal integration <<<";
  static constexpr const char* kScriptName = "velvix.zsh";
  static constexpr double kConsentDelay = 3.0;

  static constexpr const char* kConsentMessage = "Add Velvix's shell integration to ~/.zshrc?";
  static constexpr const char* kConsentText =
      "Selecting text, ⌘X, and redo in Terminal need a few zsh functions. Velvix keeps them in a marked "
      "block in your ~/.zshrc and removes the block when you turn the feature off.\n\nIt also makes ⌘⌫ "
      "delete back to the start of the line the way it does everywhere else in macOS — zsh's own ⌃U "
      "throws away the whole line. ⌘← / ⌘→, ⌘⌦ and ⌘Z work without any of this.";
  static constexpr const char* kAllowButton = "Add to ~/.zshrc";
  static constexpr const char* kNotNowButton = "Not Now";

  // The user's settings it follows (named as the settings store names them); it writes only the
  // two that remember the user's answer.
  struct Settings {
    const Setting<bool>& terminalEditingKeysEnabled;
    const Setting<bool>& terminalCharSelectEnabled;
    const Setting<bool>& terminalMouseSelectEnabled;
    const Setting<bool>& terminalLineDeleteEnabled;
    Setting<bool>& terminalShellIntegrationAllowed;
    Setting<bool>& terminalShellIntegrationAsked;
    const Setting<bool>& hasCompletedOnboarding;
  };
  // `application` puts the question, `notifications` tells of every settings change (observed on
  // `loop`), `consentTurns` keeps the question from appearing beside another, `log` takes what
  // stood in the way, and the files live under `home`.
  struct Collaborators {
    platform::Application& application;
    platform::NotificationCenter& notifications;
    platform::MainLoop& loop;
    DebugLog& log;
    ConsentQuestion::Turns& consentTurns;
    Settings settings;
    std::filesystem::path home;
  };

  explicit TerminalIntegrationInstaller(Collaborators collaborators);
  TerminalIntegrationInstaller(const TerminalIntegrationInstaller&) = delete;
  TerminalIntegrationInstaller& operator=(const TerminalIntegrationInstaller&) = delete;

  // At launch: adopts a block left by an earlier install, reconciles, follows every settings
  // change, and asks for consent 3 s later (after the set-up window).
  void reconcileAtLaunch();
  void reconcile();
  void install();
  void uninstall();
  std::string renderScript() const;
  bool fenceIsInstalled() const;
  void adoptExistingBlock();
  void requestConsentIfNeeded();
  void answer(bool allowed);
  bool isAsking() const { return isAsking_; }
  // Why the last reconcile left ~/.zshrc as it was, for the Terminal pane; empty when it did not.
  const std::string& leftAloneNote() const { return leftAloneNote_; }
  // Asks at a later turn of the loop, when the question is still needed (after the set-up window).
  void scheduleConsent() { consent_.schedule(); }
  ConsentQuestion& consentQuestion() { return consent_; }

  std::filesystem::path scriptPath() const;
  std::filesystem::path zshrcPath() const;

 private:
  void log(const std::string& line) const;
  // Changes ~/.zshrc where it lives, logs what stood in the way and keeps the list of created files;
  // `installing`: the block stays, and a file it could not read at all is worth the pane's note.
  UserTextFile::Outcome writeZshrc(const std::function<UserTextFile::Change(const UserTextFile&)>& change,
                                   bool installing);
  UserTextFile::Change damaged(const FencedBlock::Found& found) const;
  // `text` with the block `found` sourcing the script, in the block's own indentation.
  static std::string updatedInPlace(const std::string& text, const FencedBlock::Found& found);

  platform::Application& application_;
  platform::NotificationCenter& notifications_;
  platform::MainLoop& loop_;
  DebugLog& log_;
  const Settings settings_;
  const std::filesystem::path home_;
  // Indented markers count: a user may wrap the block in a condition of their own.
  FencedBlock fence_{kOpeningFence, kClosingFence, FencedBlock::Match::ignoringBlanks};
  bool isAsking_ = false;
  std::string leftAloneNote_;
  ConsentQuestion consent_;
  platform::NotificationCenter::Observation preferencesObservation_;
  AliveToken alive_;
};

}  // namespace velvix
