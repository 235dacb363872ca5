#pragma once
// The status-bar item, as far as the switcher core drives it: it is installed at launch, shows
// whether the event tap is healthy (and secure input), and lists who holds secure input. Its menu
// and the tray icon come with the status menu; the state they will show is kept here.

#include <optional>
#include <string>

namespace velvix {

class StatusItemController {
 public:
  enum class Icon { healthy, warning, secureInput };

  void install() { installed_ = true; }
  void updateIcon(bool healthy) {
    healthy_ = healthy;
    refresh();
  }
  void setSecureInput(bool on, std::optional<std::string> holder) {
    secureInputOn_ = on;
    secureInputHolder_ = on ? std::move(holder) : std::nullopt;
    refresh();
  }

  bool isInstalled() const { return installed_; }
  Icon icon() const { return icon_; }
  bool secureInputItemVisible() const { return secureInputOn_; }
  const std::optional<std::string>& secureInputHolder() const { return secureInputHolder_; }

 private:
  void refresh() { icon_ = !healthy_ ? Icon::warning : secureInputOn_ ? Icon::secureInput : Icon::healthy; }

  bool installed_ = false;
  bool healthy_ = true;
  bool secureInputOn_ = false;
  std::optional<std::string> secureInputHolder_;
  Icon icon_ = Icon::healthy;
};

}  // namespace velvix
