#include "UI/ControlsPane.hpp"

#include <QComboBox>

#include "UI/SettingsCard.hpp"
#include "UI/SettingsRow.hpp"
#include "UI/SettingsSwitch.hpp"

namespace velvix {

ControlsPane::ControlsPane(SettingsView& owner) : SettingsPane(owner) {
  Preferences& p = prefs();
  SettingsCard* switcher = addCard("Switcher");
  switcher->add(new SettingsRow("Use Velvix", "Turn the switcher off to hand \u2318Tab back to macOS.",
                                toggle(p.switcherEnabled)));
  switcher->addDivider();
  switcher->add(
      new SettingsRow("Activation shortcut", std::nullopt,
                      picker(p.hotkeyMode, {"\u2318 Tab (replace system switcher)", "\u2325 Tab"}, 260)));

  addCard(
      "Tab Dragging",
      "While the switcher is open, drag a browser tab onto another tab to move it into that tab's window "
      "\u2014 "
      "or to reorder it, if they share one. The tab itself moves, keeping its history, scroll position and "
      "playing audio. Chrome, Brave and Edge only: Safari's extension API has no tabs.move, and faking it by "
      "reopening the URL elsewhere would quietly lose the tab's history and session. Tabs also can't move "
      "between two different browsers or across a private-browsing boundary, so those drops aren't offered.")
      ->add(new SettingsRow("Drag tabs between browser windows", std::nullopt,
                            toggle(p.dragTabsBetweenWindows)));

  SettingsCard* dock = addCard(
      "Dock",
      "Hovering an app's Dock icon shows previews of its open windows; click a preview to jump to that "
      "window "
      "(needs Screen Recording). Clicking an app's icon counts its windows on this desktop, minimized ones "
      "included: with several, it brings forward the one you used last, or shows their previews when they're "
      "all "
      "minimized; with one, it minimizes or restores that window (a window behind other apps comes forward "
      "first). Launching, unhiding, and apps with no windows here keep their normal macOS behavior.");
  SettingsSwitch* previews = toggle(p.dockPreviewsEnabled);
  auto* previewRow = new SettingsRow("Preview windows on Dock icon hover", std::nullopt, previews);
  dock->add(previewRow);
  // Previews of Dock windows follow the switcher's style: with icons there is nothing to preview.
  // The stored value stays as it is.
  bind([&p, previews, previewRow] {
    const bool thumbnails = p.showThumbnails.get();
    previews->setEnabled(thumbnails);
    previewRow->setDetail(thumbnails ? std::nullopt : std::optional<std::string>(kDockPreviewsOffDetail));
  });
  dock->addDivider();
  dock->add(new SettingsRow("Smarter Dock icon clicks", std::nullopt, toggle(p.dockClickActions)));

  addCard(
      "Microphone",
      "Repurposes the dedicated mic / Dictation key on Apple keyboards to toggle the default microphone's "
      "mute "
      "instead of starting Dictation. A brief overlay shows the new state. Holding the key keeps toggling, "
      "like a held key keeps typing, at your Keyboard settings' repeat delay and rate. (fn + mic still gives "
      "F5.) Uses the same Accessibility/Input Monitoring grants as the switcher.")
      ->add(
          new SettingsRow("Mute/unmute mic with the mic key", std::nullopt, toggle(p.micMuteHotkeyEnabled)));
}

}  // namespace velvix
