#include "UI/ChromeSetupPhase.hpp"

namespace velvix {

ChromeSetupPhase ChromeSetupPhase::of(const ChromeAutoInstaller::Outcome& outcome) {
  using Kind = ChromeAutoInstaller::Outcome::Kind;
  switch (outcome.kind) {
    case Kind::connected:
      return done();
    case Kind::alreadyConnected:
      return {ChromeSetupPhase::Kind::done,
              "The extension is already connected in " +
                  std::string(browsers::appleScriptName(outcome.browser.value_or(Browser::chrome))) + "."};
    case Kind::manual:
      if (!outcome.folderOnClipboard)
        return failed("Stopped at: " + outcome.step + ". You can finish with the steps in Settings.");
      return failed(
          "Stopped at: " + outcome.step + (outcome.step.ends_with('.') ? " " : ". ") +
          std::string(browsers::appleScriptName(outcome.browser.value_or(Browser::chrome))) +
          " is open and the folder path is on your clipboard \u2014 you can finish with the steps in "
          "Settings.");
    case Kind::noBrowser:
      return failed(
          "Chrome isn\u2019t installed. Install Chrome, Brave, or Edge first \u2014 Safari works without "
          "it.");
    case Kind::cancelled:
      return cancelled();
  }
  return cancelled();
}

std::string ChromeSetupPhase::title() const {
  switch (kind) {
    case Kind::working:
      return "Setting up the Chrome extension\u2026";
    case Kind::done:
      return "Complete!";
    case Kind::failed:
      return "Couldn\u2019t finish automatically";
    case Kind::cancelled:
      return "Setup cancelled";
  }
  return {};
}

std::string ChromeSetupPhase::message() const {
  switch (kind) {
    case Kind::working:
      return "Leave the keyboard and mouse alone \u2014 press Esc to stop.";
    case Kind::done:  // the extension was connected before the run: which browser has it
    case Kind::failed:
      return text;
    case Kind::cancelled:
      return "Nothing was changed. The folder path is still on your clipboard.";
  }
  return {};
}

}  // namespace velvix
