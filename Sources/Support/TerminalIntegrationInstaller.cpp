#include "Support/TerminalIntegrationInstaller.hpp"

#include <string_view>
#include <system_error>

#include "Platform/Application.hpp"
#include "Platform/Linux/Files.hpp"
#include "Support/CreatedFiles.hpp"
#include "Support/DebugLog.hpp"
#include "Support/SupportFolder.hpp"
#include "Support/TerminalIntegrationScript.hpp"

namespace velvix {
namespace fs = std::filesystem;

namespace {
constexpr mode_t kScriptMode = 0644;
}

TerminalIntegrationInstaller::TerminalIntegrationInstaller(Collaborators collaborators)
    : application_(collaborators.application),
      notifications_(collaborators.notifications),
      loop_(collaborators.loop),
      log_(collaborators.log),
      settings_(collaborators.settings),
      home_(std::move(collaborators.home)),
      consent_(collaborators.consentTurns, ConsentQuestion::Rank::shell,
               [this] { requestConsentIfNeeded(); }) {}

fs::path TerminalIntegrationInstaller::scriptPath() const {
  return SupportFolder::path(home_) / kScriptName;
}

fs::path TerminalIntegrationInstaller::zshrcPath() const {
  return home_ / ".zshrc";
}

void TerminalIntegrationInstaller::log(const std::string& line) const {
  log_.log("shell integration: " + line);
}

void TerminalIntegrationInstaller::reconcileAtLaunch() {
  adoptExistingBlock();
  reconcile();
  preferencesObservation_ = notifications_.observe(SettingStore::kChangedNotification, loop_,
                                                   [this](const platform::Notification&) { reconcile(); });
  consent_.schedule(kConsentDelay);
}

void TerminalIntegrationInstaller::reconcile() {
  if (settings_.terminalEditingKeysEnabled.get() && settings_.terminalShellIntegrationAllowed.get())
    install();
  else
    uninstall();
}

std::string TerminalIntegrationInstaller::renderScript() const {
  return TerminalIntegrationScript::render({.charSelect = settings_.terminalCharSelectEnabled.get(),
                                            .mouseSelect = settings_.terminalMouseSelectEnabled.get(),
                                            .lineDelete = settings_.terminalLineDeleteEnabled.get()});
}

void TerminalIntegrationInstaller::install() {
  if (auto error = SupportFolder::ensure(home_)) log(*error);
  const std::string script = renderScript();
  files::removeStaleTemporaries(scriptPath());
  // An unchanged script is not rewritten; an unreadable one is.
  if (files::readAll(scriptPath()) != script)
    if (auto error = files::writeAtomically(scriptPath(), script, kScriptMode))
      log("writing the script: " + *error);

  bool addsLineFeed = false;
  const auto outcome = writeZshrc(
      [&](const UserTextFile& zshrc) {
        using Kind = UserTextFile::Change::Kind;
        const auto found = fence_.find(zshrc.text());
        addsLineFeed = false;
        if (found.state == FencedBlock::State::damaged) return damaged(found);
        if (found.state == FencedBlock::State::complete) {
          std::string text = updatedInPlace(zshrc.text(), found);
          // Only the first block stays: a second copy would source the script twice, and would
          // be left behind by a removal that found only one.
          text = fence_.removing(text, 1);
          if (text == zshrc.text()) return UserTextFile::Change{};
          return UserTextFile::Change{Kind::write, std::move(text), {}};
        }
        const std::string& old = zshrc.text();
        std::string text = old;
        addsLineFeed = !old.empty() && !old.ends_with('\n');
        if (!old.empty()) text += addsLineFeed ? "\n\n" : "\n";
        text += std::string(kOpeningFence) + "\n" + kSourceLine + "\n" + kClosingFence + "\n";
        return UserTextFile::Change{Kind::write, std::move(text), {}};
      },
      true);
  // Remembered so that removal gives the file back as it was, without a line feed at its end.
  if (outcome.kind == UserTextFile::Outcome::Kind::written) {
    CreatedFiles lineFeedAdded(home_, CreatedFiles::kLineFeedAddedName);
    addsLineFeed ? lineFeedAdded.add(outcome.target) : lineFeedAdded.forget(outcome.target);
  }
}

void TerminalIntegrationInstaller::uninstall() {
  // Read whatever the settings: a block may be there from an earlier install.
  CreatedFiles lineFeedAdded(home_, CreatedFiles::kLineFeedAddedName);
  const auto outcome = writeZshrc(
      [&](const UserTextFile& zshrc) {
        using Kind = UserTextFile::Change::Kind;
        const auto found = fence_.find(zshrc.text());
        if (found.state == FencedBlock::State::damaged) return damaged(found);
        if (found.state == FencedBlock::State::absent) return UserTextFile::Change{};
        std::string text = fence_.removing(zshrc.text());
        // The line feed the install put after a last line that had none goes with the block, as
        // long as nothing was written after the block since.
        const auto last = fence_.findAll(zshrc.text()).back();
        const bool blockEndsFile = std::string_view(zshrc.text()).substr(last.end) == "\n";
        if (blockEndsFile && text.ends_with('\n') && lineFeedAdded.contains(zshrc.target())) text.pop_back();
        if (text.empty() && CreatedFiles(home_).contains(zshrc.target()))
          return UserTextFile::Change{Kind::remove, {}, {}};
        return UserTextFile::Change{Kind::write, std::move(text), {}};
      },
      false);
  if (outcome.kind == UserTextFile::Outcome::Kind::written ||
      outcome.kind == UserTextFile::Outcome::Kind::removed)
    lineFeedAdded.forget(outcome.target);
  std::error_code ignored;
  fs::remove(scriptPath(), ignored);
  files::removeStaleTemporaries(scriptPath());
}

std::string TerminalIntegrationInstaller::updatedInPlace(const std::string& text,
                                                         const FencedBlock::Found& found) {
  // The lines between the markers become the one line that sources the script, indented as the
  // opening marker is; the markers themselves stay as the user placed them.
  const std::size_t afterOpening = text.find('\n', found.begin);
  const std::size_t closingStart = text.rfind('\n', found.end - 1);
  if (afterOpening == std::string::npos || closingStart == std::string::npos || closingStart < afterOpening)
    return text;
  const std::string_view opening(text.data() + found.begin, afterOpening - found.begin);
  const std::string indent(opening.substr(0, opening.find_first_not_of(" \t")));
  const std::string lineEnd = opening.ends_with('\r') ? "\r\n" : "\n";
  const std::string inside = indent + kSourceLine + lineEnd;
  std::string_view current(text.data() + afterOpening + 1, closingStart + 1 - (afterOpening + 1));
  const std::size_t from = current.find_first_not_of(" \t");
  const std::size_t to = current.find_last_not_of(" \t\r\n");
  if (from != std::string_view::npos && current.substr(from, to + 1 - from) == kSourceLine) return text;
  return text.substr(0, afterOpening + 1) + inside + text.substr(closingStart + 1);
}

UserTextFile::Change TerminalIntegrationInstaller::damaged(const FencedBlock::Found& found) const {
  return {UserTextFile::Change::Kind::keep,
          {},
          "holds a Velvix marker line without its partner (line " + std::to_string(found.first + 1) + ")"};
}

UserTextFile::Outcome TerminalIntegrationInstaller::writeZshrc(
    const std::function<UserTextFile::Change(const UserTextFile&)>& change, bool installing) {
  using Kind = UserTextFile::Outcome::Kind;
  const auto outcome = UserTextFile::edit(zshrcPath(), change);
  leftAloneNote_.clear();
  CreatedFiles(home_).follow(outcome, installing);
  switch (outcome.kind) {
    case Kind::unchanged:
    case Kind::created:
    case Kind::written:
    case Kind::removed:
      break;
    case Kind::unreadable:
    case Kind::leftAlone:
      log("~/.zshrc (" + outcome.target.string() + ") " + outcome.problem + "; leaving it alone");
      if (outcome.kind == Kind::leftAlone || installing)
        leftAloneNote_ = "~/.zshrc " + outcome.problem + ", so Velvix left it as it is.";
      break;
    case Kind::failed:
      log("writing ~/.zshrc: " + outcome.problem);
      leftAloneNote_ = "~/.zshrc could not be written, so Velvix left it as it is.";
      break;
  }
  return outcome;
}

bool TerminalIntegrationInstaller::fenceIsInstalled() const {
  const UserTextFile zshrc = UserTextFile::read(zshrcPath());
  return zshrc.state() == UserTextFile::State::text &&
         fence_.find(zshrc.text()).state == FencedBlock::State::complete;
}

void TerminalIntegrationInstaller::adoptExistingBlock() {
  if (settings_.terminalShellIntegrationAsked.get() || !fenceIsInstalled()) return;
  settings_.terminalShellIntegrationAllowed.set(true);
  settings_.terminalShellIntegrationAsked.set(true);
}

void TerminalIntegrationInstaller::requestConsentIfNeeded() {
  if (!settings_.terminalEditingKeysEnabled.get() || settings_.terminalShellIntegrationAllowed.get() ||
      settings_.terminalShellIntegrationAsked.get() || !settings_.hasCompletedOnboarding.get() || isAsking_)
    return;
  isAsking_ = true;
  consent_.opened();
  application_.activate(true);
  application_.showAlert(kConsentMessage, kConsentText, {kAllowButton, kNotNowButton},
                         [this, watch = alive_.watch()](int button) {
                           if (!watch.expired()) answer(button == 0);
                         });
}

void TerminalIntegrationInstaller::answer(bool allowed) {
  isAsking_ = false;
  // Only a button the person pressed is an answer: a question that goes away with the program is
  // asked again at the next launch.
  settings_.terminalShellIntegrationAsked.set(true);
  // Storing the answer reconciles through the settings notification; installing here as well
  // makes the block appear even before that observer exists.
  settings_.terminalShellIntegrationAllowed.set(allowed);
  if (allowed) install();
  consent_.closed();
}

}  // namespace velvix
