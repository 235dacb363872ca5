#include "Support/TerminalIntegrationInstaller.hpp"

#include <system_error>

#include "Core/Preferences.hpp"
#include "Core/Services.hpp"
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

TerminalIntegrationInstaller::TerminalIntegrationInstaller(Services& services)
    : services_(services),
      consent_(services, ConsentQuestion::Rank::shell, [this] { requestConsentIfNeeded(); }) {}

fs::path TerminalIntegrationInstaller::scriptPath() const {
  return SupportFolder::path(services_.home) / kScriptName;
}

fs::path TerminalIntegrationInstaller::zshrcPath() const {
  return services_.home / ".zshrc";
}

void TerminalIntegrationInstaller::log(const std::string& line) const {
  if (services_.log) services_.log->log("shell integration: " + line);
}

void TerminalIntegrationInstaller::reconcileAtLaunch() {
  adoptExistingBlock();
  reconcile();
  preferencesObservation_ =
      services_.notifications->observe(Preferences::kChangedNotification, *services_.loop,
                                       [this](const platform::Notification&) { reconcile(); });
  consent_.schedule(kConsentDelay);
}

void TerminalIntegrationInstaller::reconcile() {
  const Preferences& p = *services_.preferences;
  if (p.terminalEditingKeysEnabled.get() && p.terminalShellIntegrationAllowed.get())
    install();
  else
    uninstall();
}

std::string TerminalIntegrationInstaller::renderScript() const {
  const Preferences& p = *services_.preferences;
  return TerminalIntegrationScript::render({.charSelect = p.terminalCharSelectEnabled.get(),
                                            .mouseSelect = p.terminalMouseSelectEnabled.get(),
                                            .lineDelete = p.terminalLineDeleteEnabled.get()});
}

void TerminalIntegrationInstaller::install() {
  if (auto error = SupportFolder::ensure(services_.home)) log(*error);
  const std::string script = renderScript();
  // An unchanged script is not rewritten; an unreadable one is.
  if (files::readAll(scriptPath()) != script)
    if (auto error = files::writeAtomically(scriptPath(), script, kScriptMode))
      log("writing the script: " + *error);

  writeZshrc(
      [this](const UserTextFile& zshrc) {
        const auto found = fence_.find(zshrc.text());
        if (found.state == FencedBlock::State::complete) return UserTextFile::Change{};
        if (found.state == FencedBlock::State::damaged) return damaged(found);
        const std::string& old = zshrc.text();
        std::string text = old;
        if (!old.empty()) text += old.ends_with('\n') ? "\n" : "\n\n";
        text += std::string(kOpeningFence) + "\n" + kSourceLine + "\n" + kClosingFence + "\n";
        return UserTextFile::Change{UserTextFile::Change::Kind::write, std::move(text), {}};
      },
      true);
}

void TerminalIntegrationInstaller::uninstall() {
  // Read whatever the settings: a block may be there from an earlier install.
  writeZshrc(
      [this](const UserTextFile& zshrc) {
        using Kind = UserTextFile::Change::Kind;
        const auto found = fence_.find(zshrc.text());
        if (found.state == FencedBlock::State::damaged) return damaged(found);
        if (found.state == FencedBlock::State::absent) return UserTextFile::Change{};
        std::string text = fence_.removing(zshrc.text(), found);
        if (text.empty() && CreatedFiles(services_.home).contains(zshrc.target()))
          return UserTextFile::Change{Kind::remove, {}, {}};
        return UserTextFile::Change{Kind::write, std::move(text), {}};
      },
      false);
  std::error_code ignored;
  fs::remove(scriptPath(), ignored);
}

UserTextFile::Change TerminalIntegrationInstaller::damaged(const FencedBlock::Found& found) const {
  return {UserTextFile::Change::Kind::keep,
          {},
          "holds a Velvix marker line without its partner (line " + std::to_string(found.first + 1) + ")"};
}

void TerminalIntegrationInstaller::writeZshrc(
    const std::function<UserTextFile::Change(const UserTextFile&)>& change, bool noteUnreadable) {
  using Kind = UserTextFile::Outcome::Kind;
  const auto outcome = UserTextFile::edit(zshrcPath(), change);
  leftAloneNote_.clear();
  CreatedFiles created(services_.home);
  switch (outcome.kind) {
    case Kind::unchanged:
      break;
    case Kind::created:
      created.add(outcome.target);
      break;
    case Kind::written:
    case Kind::removed:
      // Either way the file is no longer one that holds only what we created.
      created.forget(outcome.target);
      break;
    case Kind::unreadable:
    case Kind::leftAlone:
      log("~/.zshrc (" + outcome.target.string() + ") " + outcome.problem + "; leaving it alone");
      if (outcome.kind == Kind::leftAlone || noteUnreadable)
        leftAloneNote_ = "~/.zshrc " + outcome.problem + ", so Velvix left it as it is.";
      break;
    case Kind::failed:
      log("writing ~/.zshrc: " + outcome.problem);
      leftAloneNote_ = "~/.zshrc could not be written, so Velvix left it as it is.";
      break;
  }
}

bool TerminalIntegrationInstaller::fenceIsInstalled() const {
  const UserTextFile zshrc = UserTextFile::read(zshrcPath());
  return zshrc.state() == UserTextFile::State::text &&
         fence_.find(zshrc.text()).state == FencedBlock::State::complete;
}

void TerminalIntegrationInstaller::adoptExistingBlock() {
  Preferences& p = *services_.preferences;
  if (p.terminalShellIntegrationAsked.get() || !fenceIsInstalled()) return;
  p.terminalShellIntegrationAllowed.set(true);
  p.terminalShellIntegrationAsked.set(true);
}

void TerminalIntegrationInstaller::requestConsentIfNeeded() {
  Preferences& p = *services_.preferences;
  if (!p.terminalEditingKeysEnabled.get() || p.terminalShellIntegrationAllowed.get() ||
      p.terminalShellIntegrationAsked.get() || !p.hasCompletedOnboarding.get() || isAsking_)
    return;
  isAsking_ = true;
  consent_.opened();
  services_.application->activate(true);
  services_.application->showAlert(kConsentMessage, kConsentText, {kAllowButton, kNotNowButton},
                                   [this, watch = alive_.watch()](int button) {
                                     if (!watch.expired()) answer(button == 0);
                                   });
}

void TerminalIntegrationInstaller::answer(bool allowed) {
  isAsking_ = false;
  // Only a button the person pressed is an answer: a question that goes away with the program is
  // asked again at the next launch.
  services_.preferences->terminalShellIntegrationAsked.set(true);
  // Storing the answer reconciles through the settings notification; installing here as well
  // makes the block appear even before that observer exists.
  services_.preferences->terminalShellIntegrationAllowed.set(allowed);
  if (allowed) install();
  consent_.closed();
}

}  // namespace velvix
