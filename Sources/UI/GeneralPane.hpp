#pragma once
// The General pane: launch at login, the two tab limits, privacy and the apps never previewed,
// the system permissions with their "Grant…" buttons, editor-tab tracking, and the state of the
// browser extensions with the buttons that set them up.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Support/Browser.hpp"
#include "UI/SettingsPane.hpp"

class QLabel;
class QLineEdit;

namespace velvix {

class SettingsRow;
class SettingsStatusLabel;

class GeneralPane final : public SettingsPane {
 public:
  static constexpr const char* kSafariExtensionID = "com.kolvi.velvix.SafariExtension";
  static constexpr const char* kMissingExtension = "The bundled extension folder is missing from this build.";

  // The dot and text of each browser extension's status, from the window's live status.
  struct Status {
    bool connected;
    std::string text;
    bool operator==(const Status&) const = default;
  };
  static Status chromiumStatus(bool chromeConnected, bool chromeExtensionSeen);
  static Status safariStatus(bool safariActive, bool safariNeedsAccess);
  // The browsers that get an Automation row: running, and not an editor; declaration order.
  std::vector<Browser> automationBrowsers() const;

  explicit GeneralPane(SettingsView& view);
  ~GeneralPane() override;

 private:
  struct PermissionRow;
  PermissionRow* permissionRow(const std::string& title, std::function<void()> action, QWidget* container);
  void buildStartup();
  void buildTabLimits();
  void buildPrivacy();
  void buildPermissions();
  void buildEditorTabs();
  void buildBrowserExtensions();
  void rebuildAutomationRows();

  std::vector<std::unique_ptr<PermissionRow>> fixedRows_;
  std::vector<Browser> automationShown_;
  std::vector<std::unique_ptr<PermissionRow>> automationRows_;
  QWidget* automationBox_ = nullptr;
};

}  // namespace velvix
