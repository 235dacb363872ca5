#include "UI/TerminalPane.hpp"

#include <QLabel>
#include <QVBoxLayout>

#include "Support/TerminalIntegrationInstaller.hpp"
#include "Support/VSCodeKeybindingsInstaller.hpp"
#include "UI/SettingsCard.hpp"
#include "UI/SettingsRow.hpp"
#include "UI/SettingsStyle.hpp"
#include "UI/SettingsView.hpp"

namespace velvix {

std::string TerminalPane::footer(const std::string& terminalSummary) {
  return "Gives your terminal the editing keys of a text editor: " + terminalSummary +
         ". Cursor and delete chords translate to control keys every shell understands; selection, cut, and "
         "redo "
         "work through a small zsh integration Velvix manages in ~/.zshrc (zsh is the macOS default shell "
         "\u2014 "
         "bash and fish don't get those three). Velvix only writes that block once you allow it, and removes "
         "it "
         "again when you switch it off. It also teaches zsh that \u2318\u232B deletes back to the start of "
         "the "
         "line rather than discarding the whole of it. Changes take effect in new terminal windows. Inside "
         "full-screen programs like vim, chords fall through as raw control keys.";
}

TerminalPane::TerminalPane(SettingsView& owner) : SettingsPane(owner) {
  Preferences& p = prefs();
  SettingsCard* main = addCard("\u2318 Editing in Terminal", footer(owner.terminalSupportSummary()));
  main->add(new SettingsRow("Enable \u2318 editing in Terminal", std::nullopt,
                            toggle(p.terminalEditingKeysEnabled)));
  main->addDivider();
  auto* zshrcRow = new SettingsRow("Shell integration in ~/.zshrc", std::nullopt,
                                   toggle(p.terminalShellIntegrationAllowed));
  zshrcRow->setObjectName("terminal.zshrcRow");
  main->add(zshrcRow);
  QWidget* vscodeDivider = main->addDivider();
  const std::string vscodeDetail =
      "Adds a marked block to keybindings.json, scoped to the terminal panel \u2014 editor keys are "
      "untouched";
  auto* vscodeRow =
      new SettingsRow("VS Code integrated terminal", vscodeDetail, toggle(p.vscodeTerminalKeysAllowed));
  vscodeRow->setObjectName("terminal.vscodeRow");
  main->add(vscodeRow);
  bind([this, main, zshrcRow, vscodeDivider, vscodeRow, vscodeDetail] {
    // Offered only when some editor keeps a keybindings file.
    const bool editors = !uses().vscodeKeybindings.keybindingsURLs().empty();
    vscodeDivider->setVisible(editors);
    vscodeRow->setVisible(editors);
    main->setFooter(footer(view().terminalSupportSummary()));
    // A file an installer had to leave as it was says why under its switch.
    const std::string zshrcNote = uses().terminalIntegration.leftAloneNote();
    zshrcRow->setDetail(zshrcNote.empty() ? std::nullopt : std::optional<std::string>(zshrcNote));
    const std::string vscodeNote = uses().vscodeKeybindings.leftAloneNote();
    vscodeRow->setDetail(vscodeNote.empty() ? vscodeDetail : vscodeDetail + "\n" + vscodeNote);
  });

  // The feature cards, as one group that the master switch dims and locks.
  auto* features = new QWidget(this);
  features->setObjectName("terminal.features");
  auto* group = new QVBoxLayout(features);
  group->setContentsMargins(0, 0, 0, 0);
  group->setSpacing(20);
  column()->addWidget(features);
  auto card = [&](const std::string& title, std::optional<std::string> footer) {
    auto* c = new SettingsCard(title, std::move(footer), features);
    group->addWidget(c);
    return c;
  };
  SettingsCard* cursor = card("Cursor & Deleting", std::nullopt);
  cursor->add(new SettingsRow("\u2318\u2190 / \u2318\u2192 \u2014 jump to start / end of line", std::nullopt,
                              toggle(p.terminalLineJumpEnabled)));
  cursor->addDivider();
  cursor->add(new SettingsRow("\u2318\u232B / \u2318\u2326 \u2014 delete to start / end of line",
                              std::nullopt, toggle(p.terminalLineDeleteEnabled)));
  card("Undo", std::nullopt)
      ->add(new SettingsRow("\u2318Z / \u21E7\u2318Z \u2014 undo / redo", std::nullopt,
                            toggle(p.terminalUndoRedoEnabled)));
  SettingsCard* selection =
      card("Selection",
           "Selected text is highlighted white-on-blue, and behaves as in an editor: typing replaces it, "
           "delete removes "
           "it, plain arrows dissolve it. Selection works at the shell prompt; full-screen programs (vim, "
           "the Claude "
           "CLI) own their input line, so they keep their native keys there. \u21E7\u2318 arrows are off by "
           "default "
           "because Terminal claims \u21E7\u2318 arrow chords for shortcuts of its own.");
  selection->add(new SettingsRow("\u21E7\u2190 / \u21E7\u2192 \u2014 select by character", std::nullopt,
                                 toggle(p.terminalCharSelectEnabled)));
  selection->addDivider();
  selection->add(new SettingsRow("\u21E7\u2325\u2190 / \u21E7\u2325\u2192 \u2014 select by word",
                                 std::nullopt, toggle(p.terminalWordSelectEnabled)));
  selection->addDivider();
  selection->add(
      new SettingsRow("\u21E7\u2318\u2190 / \u21E7\u2318\u2192 \u2014 select to start / end of line",
                      std::nullopt, toggle(p.terminalLineSelectEnabled)));
  selection->addDivider();
  selection->add(new SettingsRow("Typing replaces a mouse highlight",
                                 "Drag or double-click at the prompt, then type or press delete",
                                 toggle(p.terminalMouseSelectEnabled)));
  card("Clipboard",
       "At the prompt, \u2318X cuts the selection to the clipboard \u2014 or, with nothing selected, the "
       "whole "
       "line, as editors do. In the Claude CLI, \u2318X deletes the mouse-highlighted selection, which "
       "auto-copied "
       "the moment you selected it \u2014 a cut in two halves.")
      ->add(new SettingsRow("\u2318X \u2014 cut selection", std::nullopt, toggle(p.terminalCutEnabled)));

  // Disabled, each piece of the group draws itself at half strength (its texts through the
  // palette). An opacity effect would draw the group through an offscreen copy, which the scaled
  // host of a composed window places and clips wrongly.
  features->setPalette(SettingsStyle::darkPalette());
  bind([&p, features] { features->setEnabled(p.terminalEditingKeysEnabled.get()); });
}

}  // namespace velvix
