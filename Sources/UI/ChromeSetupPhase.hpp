#pragma once
// What the Chromium set-up card shows: the run under way, the extension connected, the run
// stopped by the user, or a failure with the text that says why and what to do; and the card's
// fixed texts for each. Two failures are the same phase when their texts are.

#include <string>

#include "Support/ChromeAutoInstaller.hpp"

namespace velvix {

struct ChromeSetupPhase {
  enum class Kind { working, done, cancelled, failed };
  Kind kind = Kind::working;
  std::string text;  // failed; done when the extension was already connected

  static ChromeSetupPhase working() { return {}; }
  static ChromeSetupPhase done() { return {Kind::done, {}}; }
  static ChromeSetupPhase cancelled() { return {Kind::cancelled, {}}; }
  static ChromeSetupPhase failed(std::string text) { return {Kind::failed, std::move(text)}; }
  // The phase a run's outcome shows.
  static ChromeSetupPhase of(const ChromeAutoInstaller::Outcome& outcome);
  bool operator==(const ChromeSetupPhase&) const = default;

  std::string title() const;
  std::string message() const;  // empty: none
  bool hasButtons() const { return kind == Kind::failed || kind == Kind::cancelled; }
};

}  // namespace velvix
