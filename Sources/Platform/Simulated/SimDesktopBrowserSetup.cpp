// The parts of the simulated desktop that setting up a browser extension drives: the clipboard,
// the keyboard layout, opening addresses and the simulated Chromium's extensions page.

#include <sys/socket.h>

#include "Platform/Simulated/SimChromiumExtension.hpp"
#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDesktopProcessTable.hpp"
#include "Platform/Simulated/SimExtensionsPage.hpp"
#include "Platform/Simulated/SimKeyboardLayout.hpp"
#include "Platform/Simulated/SimPasteboard.hpp"
#include "Platform/Simulated/SimSafariExtensionSettings.hpp"
#include "Platform/Simulated/SimURLOpener.hpp"

namespace velvix::sim {

SimSafariExtensionSettings& SimDesktop::safariExtensionSettings() {
  if (!safariExtensionSettings_)
    safariExtensionSettings_ = std::make_unique<SimSafariExtensionSettings>(loop_);
  return *safariExtensionSettings_;
}

SimPasteboard& SimDesktop::pasteboard() {
  if (!pasteboard_) pasteboard_ = std::make_unique<SimPasteboard>();
  return *pasteboard_;
}

SimKeyboardLayout& SimDesktop::keyboardLayout() {
  if (!keyboardLayout_) keyboardLayout_ = std::make_unique<SimKeyboardLayout>();
  return *keyboardLayout_;
}

SimURLOpener& SimDesktop::urlOpener() {
  if (!urlOpener_) urlOpener_ = std::make_unique<SimURLOpener>(*this);
  return *urlOpener_;
}

SimExtensionsPage& SimDesktop::extensionsPage() {
  if (!extensionsPage_) extensionsPage_ = std::make_unique<SimExtensionsPage>(*this);
  return *extensionsPage_;
}

std::optional<SimDesktop::ExtensionConnection> SimDesktop::startExtension(platform::Pid browser,
                                                                          const std::string& browserName,
                                                                          const std::string& relayProgram) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return std::nullopt;
  const platform::Pid relay = nextPid_++;
  processes().add(relay, {.parent = browser, .executablePath = relayProgram});
  // Loading the extension again replaces the copy the browser ran: that one's connection ends.
  std::erase_if(extensions_, [browser](const auto& extension) {
    return !extension->isRunning() || extension->browser() == browser;
  });
  extensions_.push_back(std::make_unique<SimChromiumExtension>(*this, browser, browserName,
                                                               "sim-" + std::to_string(relay), ends[1]));
  return ExtensionConnection{relay, ends[0]};
}

}  // namespace velvix::sim
