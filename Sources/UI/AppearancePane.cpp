#include "UI/AppearancePane.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>

#include "Support/PermissionsService.hpp"
#include "UI/AppearanceOptionCard.hpp"
#include "UI/SettingsCard.hpp"
#include "UI/SettingsRow.hpp"
#include "UI/SettingsStatusLabel.hpp"
#include "UI/SettingsView.hpp"
#include "UI/SwitcherStylePreview.hpp"

namespace velvix {

AppearancePane::AppearancePane(SettingsView& owner) : SettingsPane(owner) {
  SettingsCard* style = addCard(
      "Switcher Style",
      "Previews show each window and tab as a snapshot of its last visible state, with a close button on the "
      "selection. They need the Screen Recording permission; macOS may ask you to relaunch Velvix after "
      "granting "
      "it.");
  auto* options = new QWidget;
  auto* pair = new QHBoxLayout(options);
  pair->setContentsMargins(0, 0, 0, 0);
  pair->setSpacing(12);
  struct Option {
    const char* title;
    const char* subtitle;
    const char* image;
    bool thumbnails;
  };
  for (const Option& o :
       {Option{"App Icons", "One icon per window or tab.", "AppearanceIcons", false},
        Option{"Window Previews", "A snapshot of each window and tab.", "AppearanceThumbnails", true}}) {
    auto* preview = new SwitcherStylePreview(o.thumbnails);
    auto* card = new AppearanceOptionCard(o.title, o.subtitle, o.image, uses().resources, preview);
    card->setObjectName(o.thumbnails ? "appearance.previews" : "appearance.icons");
    card->onSelect = [this, thumbnails = o.thumbnails] { prefs().showThumbnails.set(thumbnails); };
    bind([this, card, preview, thumbnails = o.thumbnails] {
      card->setSelected(prefs().showThumbnails.get() == thumbnails);
      preview->setGlassStyle(prefs().hudGlassStyle.get());
    });
    pair->addWidget(card, 1, Qt::AlignTop);
  }
  style->add(options);

  // Only while previews are chosen and Screen Recording is missing.
  QWidget* divider = style->addDivider();
  auto* grant = new QWidget;
  auto* grantLine = new QHBoxLayout(grant);
  grantLine->setContentsMargins(0, 0, 0, 0);
  grantLine->setSpacing(8);
  grantLine->addWidget(new SettingsStatusLabel(false, "Permission needed"));
  grantLine->addWidget(button("Grant\u2026", "appearance.screenRecording.grant", [this] {
    uses().permissions.requestScreenRecording();
    view().openSystemSettings(SettingsView::kScreenCapturePane);
  }));
  auto* recording = new SettingsRow("Screen Recording", "Required to capture window previews.", grant);
  recording->setObjectName("appearance.screenRecording");
  style->add(recording);
  bind([this, divider, recording] {
    const bool shown = prefs().showThumbnails.get() && !view().state().screenRecordingGranted;
    divider->setVisible(shown);
    recording->setVisible(shown);
  });

  SettingsCard* size = addCard("Size & Material");
  size->add(
      new SettingsRow("Switcher size", "How large the switcher grows when there's room.",
                      picker(prefs().hudSizePreset, {"Compact", "Comfortable (Default)", "Large"}, 210)));
  size->addDivider();
  size->add(new SettingsRow(
      "Glass rendering", "How the switcher's surface is drawn.",
      picker(prefs().hudGlassStyle,
             {"Frosted Liquid Glass (Recommended)", "Stylized Glass", "Liquid Glass Slabs"}, 210)));
}

}  // namespace velvix
