#include "UI/GeneralPane.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Bridge/BrowserBridge.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/SafariExtensionSettings.hpp"
#include "Support/ChromeHostInstaller.hpp"
#include "Support/PermissionsService.hpp"
#include "Support/RunningApps.hpp"
#include "Support/VSCodeExtensionInstaller.hpp"
#include "UI/ChromeLoadSteps.hpp"
#include "UI/ChromeSetupPresenter.hpp"
#include "UI/OnboardingWindowController.hpp"
#include "UI/SettingsCard.hpp"
#include "UI/SettingsDivider.hpp"
#include "UI/SettingsRow.hpp"
#include "UI/SettingsStatusLabel.hpp"
#include "UI/SettingsStepper.hpp"
#include "UI/SettingsStyle.hpp"
#include "UI/SettingsSwitch.hpp"
#include "UI/SettingsView.hpp"

namespace velvix {

// A row that shows whether a permission is granted, with "Grant…" while it is not.
struct GeneralPane::PermissionRow {
  QWidget* divider = nullptr;
  SettingsRow* row = nullptr;
  SettingsStatusLabel* status = nullptr;
  QPushButton* grant = nullptr;
  void set(bool granted) {
    status->set(granted, granted ? "Granted" : "Not granted");
    grant->setVisible(!granted);
  }
};

GeneralPane::Status GeneralPane::chromiumStatus(bool chromeConnected, bool chromeExtensionSeen) {
  if (chromeConnected) return {true, "Connected"};
  if (chromeExtensionSeen) return {true, "Installed \u2014 browser not running"};
  return {false, "Not connected"};
}

GeneralPane::Status GeneralPane::safariStatus(bool safariActive, bool safariNeedsAccess) {
  if (safariNeedsAccess) return {false, "Needs website access"};
  if (safariActive) return {true, "Active"};
  return {false, "Not active"};
}

GeneralPane::GeneralPane(SettingsView& owner) : SettingsPane(owner) {
  buildStartup();
  buildTabLimits();
  buildPrivacy();
  buildPermissions();
  buildEditorTabs();
  buildBrowserExtensions();
}

GeneralPane::~GeneralPane() = default;

void GeneralPane::buildStartup() {
  auto* launch = new SettingsSwitch;
  launch->setObjectName("launchAtLogin");
  auto* row = new SettingsRow("Launch at login", std::nullopt, launch);
  row->setObjectName("general.launchAtLogin");
  connect(launch, &QAbstractButton::clicked, launch, [this](bool on) {
    prefs().setLaunchAtLogin(on);  // posts no settings change: show its outcome now
    view().refresh();
  });
  bind([this, launch, row] {
    const QSignalBlocker quiet(launch);
    launch->setChecked(prefs().launchAtLogin());
    const auto& error = prefs().launchAtLoginError();
    row->setDetail(error ? std::optional<std::string>("macOS refused this: " + *error) : std::nullopt);
  });
  addCard("Startup")->add(row);
}

void GeneralPane::buildTabLimits() {
  SettingsCard* card =
      addCard("Tab Limits",
              "When a limit is reached, the least recently used tab drops out of the switcher. The "
              "real tab always stays open in the browser.");
  auto stepper = [this](Setting<int>& setting, int maximum) {
    auto* s = new SettingsStepper(1, maximum, 1);
    s->setObjectName(QString::fromStdString(setting.key()));
    s->onChange = [&setting](int value) { setting.set(value); };
    bind([s, &setting] { s->setValue(setting.get()); });
    return s;
  };
  card->add(
      new SettingsRow("Tabs across all browsers", std::nullopt, stepper(prefs().universalTabLimit, 100)));
  card->addDivider();
  card->add(new SettingsRow("Tabs per window", std::nullopt, stepper(prefs().perWindowTabLimit, 50)));
}

void GeneralPane::buildPrivacy() {
  SettingsCard* card =
      addCard("Privacy",
              "Excluded apps (password managers by default) are never captured; capture also pauses whenever "
              "a password field has focus anywhere. Everything Velvix records stays in memory on this Mac.");
  card->add(new SettingsRow("Include private and incognito tabs", std::nullopt,
                            toggle(prefs().includePrivateTabs)));
  card->addDivider();
  card->add(new SettingsRow("Write diagnostic log", std::nullopt, toggle(prefs().debugLogging)));
  card->addDivider();

  auto* editor = new QWidget;
  auto* stack = new QVBoxLayout(editor);
  stack->setContentsMargins(0, 4, 0, 4);
  stack->setSpacing(6);
  auto* label = new QLabel("Never preview these apps", editor);
  label->setFont(SettingsStyle::font(13));
  stack->addWidget(label);
  auto* field = new QLineEdit(editor);
  field->setObjectName("excludedBundleIDs");
  field->setPlaceholderText("Bundle IDs, comma-separated");
  field->setFont(SettingsStyle::monospacedDigits(SettingsStyle::kCalloutSize));
  // The field shows what was typed, exactly; the setting gets the parsed list.
  field->setText(QString::fromStdString(view().state().excludedText));
  field->setCursorPosition(0);  // a list longer than the field reads from its first entry
  connect(field, &QLineEdit::textEdited, field,
          [this](const QString& text) { view().setExcludedText(text.toStdString()); });
  connect(field, &QLineEdit::returnPressed, field, [this] { view().commitExclusions(); });
  stack->addWidget(field);
  card->add(editor);
}

GeneralPane::PermissionRow* GeneralPane::permissionRow(const std::string& title, std::function<void()> action,
                                                       QWidget* container) {
  auto* controls = new QWidget;
  auto* line = new QHBoxLayout(controls);
  line->setContentsMargins(0, 0, 0, 0);
  line->setSpacing(8);
  auto* r = new PermissionRow;
  r->status = new SettingsStatusLabel(false, "Not granted");
  line->addWidget(r->status);
  r->grant = button("Grant\u2026", "permission.grant." + title, std::move(action));
  line->addWidget(r->grant);
  r->row = new SettingsRow(title, std::nullopt, controls, container);
  r->row->setObjectName(QString::fromStdString("permission." + title));
  return r;
}

void GeneralPane::buildPermissions() {
  SettingsCard* card = addCard("Permissions",
                               "macOS drops these grants when the app's code signature changes (rebuilds, "
                               "reinstalls). If the switcher stops "
                               "responding, re-grant here \u2014 settings are never lost.");
  using Permission = PermissionsService::Permission;
  auto grantAndOpen = [this](Permission permission) {
    return [this, permission] {
      switch (permission) {
        case Permission::accessibility:
          uses().permissions.requestAccessibility();
          break;
        case Permission::inputMonitoring:
          uses().permissions.requestInputMonitoring();
          break;
        case Permission::screenRecording:
          uses().permissions.requestScreenRecording();
          break;
      }
      view().openSystemSettings(PermissionsService::pane(permission));
    };
  };
  const std::pair<const char*, Permission> fixed[] = {{"Accessibility", Permission::accessibility},
                                                      {"Input Monitoring", Permission::inputMonitoring},
                                                      {"Screen Recording", Permission::screenRecording}};
  for (const auto& [title, permission] : fixed) {
    if (!fixedRows_.empty()) card->addDivider();
    fixedRows_.emplace_back(permissionRow(title, grantAndOpen(permission), nullptr));
    card->add(fixedRows_.back()->row);
  }
  automationBox_ = new QWidget;
  automationBox_->setObjectName("permissions.automation");
  auto* rows = new QVBoxLayout(automationBox_);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(0);
  card->add(automationBox_);
  bind([this] {
    platform::Privacy& privacy = uses().privacy;
    fixedRows_[0]->set(privacy.accessibilityTrusted(false));
    fixedRows_[1]->set(privacy.listenEventPreflight());
    fixedRows_[2]->set(view().state().screenRecordingGranted);
    rebuildAutomationRows();
  });
}

std::vector<Browser> GeneralPane::automationBrowsers() const {
  std::vector<Browser> result;
  for (Browser browser : browsers::all())
    if (!browsers::isEditor(browser) && uses().runningApps.first(std::string(browsers::bundleID(browser))))
      result.push_back(browser);
  return result;
}

// One row per running browser; rebuilt only when the set of running browsers changes.
void GeneralPane::rebuildAutomationRows() {
  const auto running = automationBrowsers();
  if (running != automationShown_) {
    for (auto& r : automationRows_) {
      // Later: a row's own "Grant…" may be what is running now.
      r->divider->hide();
      r->row->hide();
      r->divider->deleteLater();
      r->row->deleteLater();
    }
    automationRows_.clear();
    automationShown_ = running;
    for (Browser browser : running) {
      const std::string title = std::string(browsers::appleScriptName(browser)) + " Automation";
      auto* r = permissionRow(
          title, [this, browser] { uses().permissions.requestAutomation(browser); }, automationBox_);
      r->row->setObjectName(
          QString::fromStdString("permission.automation." + std::string(browsers::rawValue(browser))));
      r->divider = new SettingsDivider(automationBox_);
      automationBox_->layout()->addWidget(r->divider);
      automationBox_->layout()->addWidget(r->row);
      automationRows_.emplace_back(r);
    }
  }
  for (std::size_t i = 0; i < automationRows_.size(); ++i)
    automationRows_[i]->set(uses().permissions.automationStatus(automationShown_[i]) ==
                            platform::Privacy::kAutomationGranted);
}

void GeneralPane::buildEditorTabs() {
  SettingsCard* card = addCard(
      "Editor Tabs",
      "Puts VS Code's open editor tabs in the switcher, the way browser tabs are. Velvix installs a small "
      "extension into the editor's extensions folder; it reports the tabs of the window it runs in and "
      "nothing else \u2014 no file contents, and nothing leaves your Mac. An editor loads extensions at "
      "startup, so restart VS Code once after switching this on. Cursor, Windsurf, Kiro, Trae, Void, "
      "Positron, VSCodium and Insiders are covered too. With this off, VS Code windows switch as windows, "
      "exactly as before.");
  card->setObjectName("general.editorTabs");
  card->add(
      new SettingsRow("Show VS Code tabs in the switcher", std::nullopt, toggle(prefs().vscodeTabsEnabled)));
  QWidget* divider = card->addDivider();
  auto* status = new SettingsStatusLabel(false, "Not installed");
  status->setObjectName("editorTabs.status");
  auto* extension = new SettingsRow("Extension", std::nullopt, status);
  card->add(extension);
  bind([this, card, divider, extension, status] {
    VSCodeExtensionInstaller& installer = uses().vscodeExtension;
    card->setVisible(!installer.targets().empty());
    const bool on = prefs().vscodeTabsEnabled.get();
    divider->setVisible(on);
    extension->setVisible(on);
    if (!on) return;
    // VS Code's own extension only: the other editors report under their own names.
    const bool reporting = uses().browserBridge.isChromiumConnected(Browser::vscode);
    status->set(reporting, reporting                 ? "Reporting"
                           : installer.isInstalled() ? "Installed \u2014 restart VS Code"
                                                     : "Not installed");
  });
}

void GeneralPane::buildBrowserExtensions() {
  SettingsCard* card = addCard("Browser Extensions");
  auto* chromium = new SettingsStatusLabel(false, "Not connected");
  chromium->setObjectName("extensions.chromium");
  card->add(new SettingsRow("Chromium", std::nullopt, chromium));
  card->addDivider();
  auto* safari = new SettingsStatusLabel(false, "Not active");
  safari->setObjectName("extensions.safari");
  card->add(new SettingsRow("Safari", std::nullopt, safari));
  auto* access = new QLabel(
      "Safari is hiding some tabs from the extension. In Safari Settings \u2192 Extensions \u2192 Velvix "
      "Bridge \u2192 Edit Websites, set Other Websites to Allow.");
  access->setObjectName("extensions.safariAccess");
  access->setWordWrap(true);
  access->setFont(SettingsStyle::font(SettingsStyle::kCalloutSize));
  SettingsStyle::makeSecondary(access);
  card->add(access);

  // Until an extension has connected once: how to load it.
  QWidget* stepsDivider = card->addDivider();
  auto* heading = new QLabel("Connect Chrome, Brave, Edge, Vivaldi, Arc, and other Chromium browsers");
  heading->setObjectName("extensions.connectHeading");
  heading->setWordWrap(true);
  heading->setFont(SettingsStyle::font(SettingsStyle::kCalloutSize, QFont::DemiBold));
  card->add(heading);
  auto* steps = new ChromeLoadSteps;
  card->add(steps);

  auto* buttons = new QWidget;
  auto* stack = new QVBoxLayout(buttons);
  stack->setContentsMargins(0, 4, 0, 4);
  stack->setSpacing(8);
  auto* first = new QHBoxLayout;
  first->setSpacing(10);
  first->addWidget(button("Set Up Chrome Extension\u2026", "extensions.setUpChrome",
                          [this] { uses().chromeSetup.start(); }));
  first->addWidget(button("Reveal Extension Folder\u2026", "extensions.reveal", [this] {
    if (!uses().hostInstaller.revealExtension()) view().setChromeInstallMessage(kMissingExtension);
  }));
  first->addStretch(1);
  stack->addLayout(first);
  auto* second = new QHBoxLayout;
  second->setSpacing(10);
  second->addWidget(button("Safari Extension Settings\u2026", "extensions.safariSettings", [this] {
    uses().safariExtensionSettings.showPreferencesForExtension(kSafariExtensionID, {});
  }));
  second->addStretch(1);
  second->addWidget(button("Setup Assistant\u2026", "extensions.setupAssistant", [this] {
    // The first set-up's steps, whether or not onboarding was completed.
    uses().onboardingWindow.show(OnboardingMode::setup);
  }));
  stack->addLayout(second);
  card->add(buttons);

  auto* message = new QLabel;
  message->setObjectName("extensions.installMessage");
  message->setWordWrap(true);
  message->setFont(SettingsStyle::font(SettingsStyle::kCalloutSize));
  SettingsStyle::makeSecondary(message);
  card->add(message);

  bind([this, chromium, safari, access, stepsDivider, heading, steps, message] {
    const SettingsView::State& s = view().state();
    const bool seen = prefs().chromeExtensionSeen.get();
    const Status c = chromiumStatus(s.chromeConnected, seen);
    chromium->set(c.connected, c.text);
    const Status f = safariStatus(s.safariActive, s.safariNeedsAccess);
    safari->set(f.connected, f.text);
    access->setVisible(s.safariNeedsAccess);
    stepsDivider->setVisible(!seen);
    heading->setVisible(!seen);
    steps->setVisible(!seen);
    message->setText(QString::fromStdString(s.chromeInstallMessage.value_or("")));
    message->setVisible(s.chromeInstallMessage.has_value());
  });
}

}  // namespace velvix
