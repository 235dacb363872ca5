#include "Input/EventTap.hpp"

#include <cstdio>

#include "Core/DockController.hpp"
#include "Core/MicMute.hpp"
#include "Core/Preferences.hpp"
#include "Core/Services.hpp"
#include "Input/SwitcherController.hpp"
#include "Input/SwitcherHotkey.hpp"
#include "Input/SystemSwitcherShortcut.hpp"
#include "Input/TerminalEditingKeys.hpp"
#include "Input/TerminalMouseSelection.hpp"
#include "Platform/InputState.hpp"
#include "Platform/Linux/SerialQueue.hpp"
#include "Platform/Privacy.hpp"
#include "Platform/SecureInput.hpp"
#include "Support/AppIdentity.hpp"
#include "Support/DebugLog.hpp"
#include "Support/HealthMonitor.hpp"
#include "UI/MicFeedbackHUD.hpp"

namespace velvix {

using platform::EventType;
using platform::InputEvent;
namespace Flag = platform::EventFlag;
namespace Key = platform::KeyCode;

namespace {
constexpr std::uint64_t kShiftOptionCommand = Flag::kShift | Flag::kOption | Flag::kCommand;
constexpr std::uint64_t kOptionCommand = Flag::kOption | Flag::kCommand;

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? ", " : "") + parts[i];
  return text;
}
}  // namespace

EventTap::EventTap(Services& services, SwitcherController& switcher)
    : services_(services),
      switcher_(switcher),
      hotkey_(std::make_unique<SwitcherHotkey>(*services.hotKeys, *services.log)),
      systemShortcut_(*services.systemSwitcherShortcut) {
  hotkey_->onPress = [this, watch = alive_.watch()](bool reverse) {
    if (!watch.expired()) handleHotkeyPress(reverse);
  };
  reconcileChordOwnership();
}

EventTap::~EventTap() {
  if (tap_) services_.eventTaps->invalidate(*tap_);
}

std::uint64_t EventTap::triggerFlag() const {
  return services_.preferences->hotkeyMode.get() == HotkeyMode::optionTab ? Flag::kOption : Flag::kCommand;
}

bool EventTap::isEnabled() const {
  return tap_ && services_.eventTaps->isEnabled(*tap_);
}

bool EventTap::start() {
  if (tap_) return true;
  auto tap = services_.eventTaps->createTap(kEventMask, [this, watch = alive_.watch()](InputEvent& event) {
    return watch.expired() || handle(event);
  });
  if (!tap) return false;
  tap_ = tap;
  services_.eventTaps->setEnabled(*tap_, true);
  reconcileChordOwnership();
  lastWatchdogTick_ = services_.loop->uptime();
  watchdog_ = services_.loop->every(
      kWatchdogInterval, [this] { watchdogTick(); }, platform::TimerMode::Common);
  secureInputWatch_ = services_.loop->every(
      kSecureInputInterval,
      [this] {
        checkSecureInput();
        reconcileChordOwnership();
      },
      platform::TimerMode::Common);
  checkSecureInput();
  observeSessionReturns();
  logState();
  return true;
}

void EventTap::stop() {
  watchdog_.invalidate();
  secureInputWatch_.invalidate();
  sessionObservers_.clear();
  if (tap_) {
    services_.eventTaps->setEnabled(*tap_, false);
    services_.eventTaps->invalidate(*tap_);
  }
  tap_.reset();
  keyUps_.clear();
  switcher_.cancel();
  reconcileChordOwnership();
}

void EventTap::reconcileChordOwnership() {
  const bool enabled = services_.preferences->switcherEnabled.get();
  const bool owned = tap_ && enabled && services_.preferences->hotkeyMode.get() == HotkeyMode::commandTab;
  systemShortcut_.set(owned);
  services_.healthMonitor->setOwns(owned);
  hotkey_->registerMode(tap_ && enabled ? std::optional<HotkeyMode>(services_.preferences->hotkeyMode.get())
                                        : std::nullopt);
}

void EventTap::watchdogTick() {
  const double now = services_.loop->uptime();
  const double late = now - lastWatchdogTick_ - kWatchdogInterval;
  lastWatchdogTick_ = now;
  if (late > kStallReportedAbove) {
    char line[128];
    std::snprintf(line, sizeof line,
                  "main thread stalled ~%.1fs (anything blocking here also stalls the event tap)", late);
    services_.log->health(line);
  }
  if (!tap_) return;
  const bool portValid = services_.eventTaps->isValid(*tap_);
  const bool trusted = services_.privacy->accessibilityTrusted(false);
  if (portValid && trusted) {
    if (!services_.eventTaps->isEnabled(*tap_)) {
      services_.log->health("event tap was disabled; re-enabling (watchdog)");
      services_.eventTaps->setEnabled(*tap_, true);
    }
    reconcileChordOwnership();
    return;
  }
  services_.log->health(std::string("event tap lost (port valid: ") + (portValid ? "true" : "false") +
                        ", accessibility: " + (trusted ? "true" : "false") + "); rebuilding");
  stop();
  if (onTapLost) onTapLost();
}

void EventTap::observeSessionReturns() {
  if (!sessionObservers_.empty()) return;
  namespace WN = platform::WorkspaceNotification;
  auto& center = services_.workspace->notificationCenter();
  for (const char* name :
       {WN::kDidWake, WN::kScreensDidWake, WN::kSessionDidBecomeActive, WN::kScreenIsUnlocked})
    sessionObservers_.push_back(
        center.observe(name, *services_.loop, [this](const platform::Notification& n) {
          if (!tap_) return;
          if (!services_.eventTaps->isEnabled(*tap_)) {
            services_.log->health("event tap was disabled at " + n.name + "; re-enabling");
            services_.eventTaps->setEnabled(*tap_, true);
          }
          reconcileChordOwnership();
        }));
}

bool EventTap::handle(InputEvent& event) {
  // 1. The system switched the tap off because it answered late, or because of user input.
  if (event.type == EventType::tapDisabledByTimeout || event.type == EventType::tapDisabledByUserInput) {
    services_.log->health(std::string("event tap disabled by ") +
                          (event.type == EventType::tapDisabledByTimeout ? "TIMEOUT" : "user input") +
                          "; re-enabling");
    if (tap_) services_.eventTaps->setEnabled(*tap_, true);
    if (switcher_.session()) {
      // The release that would have committed may have been lost while the tap was off.
      const std::uint64_t trigger = triggerFlag();
      if ((services_.input->modifierFlags() & trigger) != trigger) {
        switcher_.cancel();
      } else {
        switcher_.watchForRelease();
      }
    }
    keyUps_.clear();
    services_.dock->consumeSwallowedMouseUp();
    return true;
  }

  // Events this program posted itself pass untouched, always: they are neither chords nor
  // editing keys, and their key-ups must not meet the ledger (a posted key-up would otherwise
  // take the place of the user's own, and the user's would then pass unmatched).
  if (event.sourceUserData == platform::kOwnEventMarker) return true;

  // 2. The input lock: only our own posted events pass (above); Escape aborts it.
  if (inputLockDeadline_) {
    if (services_.loop->uptime() >= *inputLockDeadline_) {
      auto abort = std::move(inputLockAbort_);
      unlockInput();
      if (abort) abort(false);
    } else {
      if (event.type == EventType::keyDown && event.keyCode == Key::kEscape) {
        services_.log->log("input lock aborted by Escape");
        auto abort = std::move(inputLockAbort_);
        unlockInput();
        if (abort) abort(true);
      }
      return false;
    }
  }

  // 3. By type.
  const std::uint64_t flags = event.flags;
  const std::uint64_t trigger = triggerFlag();
  TerminalMouseSelection* selection = services_.mouseSelection;
  switch (event.type) {
    case EventType::leftMouseDown: {
      if (selection) selection->leftMouseDown(event.location);
      switcher_.handleMouseDown(event.location);
      if (flags & Flag::kControl) {
        services_.dock->handleDockMenuClick(event.location);
        return true;
      }
      if (flags & kShiftOptionCommand) return true;
      return !services_.dock->handleDockMouseDown(event.location);
    }
    case EventType::leftMouseUp: {
      if (selection) selection->leftMouseUp(event.location, event.clickCount);
      return !services_.dock->consumeSwallowedMouseUp();
    }
    case EventType::rightMouseDown:
      switcher_.handleMouseDown(event.location);
      services_.dock->handleDockMenuClick(event.location);
      return true;
    case EventType::otherMouseDown:
      switcher_.handleMouseDown(event.location);
      return true;
    case EventType::keyDown: {
      // The editing keys may rewrite the event on its way; the key-up that follows carries the
      // key the user pressed, so the ledger keeps that one.
      const std::int64_t pressed = event.keyCode;
      if (consumesKeyDown(event, trigger)) {
        if (!event.autorepeat) keyUps_.consumed(pressed);
        return false;
      }
      keyUps_.passed(pressed);
      return true;
    }
    case EventType::keyUp:
      if (keyUps_.swallowKeyUp(event.keyCode)) return false;
      if (switcher_.session()) return true;
      return services_.terminalKeys->handle(event) != TerminalEditingKeys::Outcome::consume;
    case EventType::flagsChanged:
      if (switcher_.session() && (flags & trigger) != trigger) switcher_.commit();
      return true;
    default:
      return true;
  }
}

bool EventTap::consumesKeyDown(InputEvent& event, std::uint64_t trigger) {
  const std::uint64_t flags = event.flags;
  const std::int64_t code = event.keyCode;
  const bool enabled = services_.preferences->switcherEnabled.get();

  // 1. The microphone key, without modifiers.
  if (code == Key::kMicrophone && !(flags & Flag::kModifiers) &&
      services_.preferences->micMuteHotkeyEnabled.get()) {
    toggleMicrophone(event.autorepeat);
    return true;
  }
  // 2. Tab: count Command-Tab arrivals for the health monitor; pair with the fallback hot key.
  const bool isTab = code == Key::kTab;
  const bool triggerHeld = (flags & trigger) == trigger;
  if (isTab) {
    if ((flags & Flag::kCommand) && !event.autorepeat && services_.healthMonitor)
      services_.healthMonitor->addArrival();
    if (triggerHeld && !event.autorepeat && enabled && !pressPairing_.tapShouldAct(services_.loop->uptime()))
      return true;  // the fallback hot key already acted on this press
  }
  // 3. No chord open.
  if (!switcher_.session()) {
    if (isTab && triggerHeld && enabled && switcher_.begin(flags & Flag::kShift, false)) return true;
    return services_.terminalKeys->handle(event) == TerminalEditingKeys::Outcome::consume;
  }
  // 4. A chord is open.
  switch (code) {
    case Key::kTab:
      switcher_.step(flags & Flag::kShift);
      return true;
    case Key::kW:
      if (!(flags & Flag::kCommand)) return false;
      switcher_.closeItem(switcher_.index());
      return true;
    case Key::kEscape:
      switcher_.cancel();
      return (flags & kOptionCommand) != kOptionCommand;  // Option-Command-Escape reaches the system
    case Key::kLeftArrow:
      switcher_.step(true);
      return true;
    case Key::kRightArrow:
      switcher_.step(false);
      return true;
    case Key::kDownArrow:
      switcher_.stepRow(true);
      return true;
    case Key::kUpArrow:
      switcher_.stepRow(false);
      return true;
    default:
      return false;
  }
}

void EventTap::toggleMicrophone(bool autorepeat) {
  services_.log->log(std::string("mic key ") + (autorepeat ? "repeat" : "down") + ": toggling");
  static platform::SerialQueue micQueue("velvix.mic-toggle");
  MicMute* mic = services_.micMute;
  if (!mic) return;
  micQueue.async([this, mic, watch = alive_.watch(), loop = services_.loop] {
    // Under the mute lock: set the opposite state and read it back. Nothing once the quit
    // clean-up has run, so a press racing the quit cannot mute after it.
    const std::optional<bool> muted = mic->toggle();
    if (!muted) return;
    loop->post([this, watch, muted = *muted] {
      if (watch.expired()) return;
      services_.log->log(std::string("mic toggled: muted=") + (muted ? "true" : "false"));
      services_.micHUD->show(muted);
    });
  });
}

void EventTap::handleHotkeyPress(bool reverse) {
  services_.healthMonitor->addArrival();
  if (isInputLocked() || !services_.preferences->switcherEnabled.get()) return;
  if (!pressPairing_.hotkeyShouldAct(services_.loop->uptime())) return;  // the tap already acted
  services_.log->health(
      std::string("chord press reached the fallback hotkey, unseen by the tap (secure input ") +
      (secureInputOn_ ? "on, held by " + secureInputHolder_.value_or("unknown") : "off") + ")");
  if (switcher_.session()) {
    switcher_.step(reverse);
  } else {
    switcher_.begin(reverse, true);  // the tap may not see the release either
  }
}

void EventTap::checkSecureInput() {
  const bool on = services_.secureInput->isEnabled();
  if (on == secureInputOn_) return;
  secureInputOn_ = on;
  secureInputHolder_ = on ? secureInputHolderName() : std::nullopt;
  if (on) {
    services_.log->health("secure input ON (held by " + secureInputHolder_.value_or("unknown") +
                          "); keystrokes bypass the event tap until it lifts");
  } else {
    services_.log->health("secure input off");
  }
  if (onSecureInputChange) onSecureInputChange(on, secureInputHolder_);
}

std::optional<std::string> EventTap::secureInputHolderName() const {
  auto pid = services_.secureInput->holder();
  if (!pid || *pid < 1) return std::nullopt;
  if (auto app = services_.workspace->application(*pid)) {
    if (app->localizedName) return app->localizedName;
    if (app->bundleIdentifier) return app->bundleIdentifier;
  }
  return "pid " + std::to_string(*pid);
}

void EventTap::lockInput(double timeout, std::function<void(bool)> onAbort) {
  inputLockDeadline_ = services_.loop->uptime() + timeout;
  inputLockAbort_ = std::move(onAbort);
  inputLockTimer_ = services_.loop->after(timeout, [this] {
    if (!inputLockDeadline_) return;
    services_.log->log("input lock timed out; releasing");
    auto abort = std::move(inputLockAbort_);
    unlockInput();
    if (abort) abort(false);
  });
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", timeout);
  services_.log->log(std::string("input lock engaged (") + seconds + "s max)");
}

void EventTap::unlockInput() {
  if (!inputLockDeadline_) return;
  inputLockDeadline_.reset();
  inputLockAbort_ = nullptr;
  inputLockTimer_.invalidate();
  services_.log->log("input lock released");
}

void EventTap::logState() {
  const auto& p = *services_.preferences;
  std::vector<std::string> parts;
  parts.push_back(std::string("Velvix ") + AppIdentity::kVersion + " (" + AppIdentity::kBuild + "), macOS " +
                  services_.workspace->operatingSystemVersion());
  parts.push_back(std::string("switcher ") + (p.switcherEnabled.get() ? "on" : "off") + ", mode " +
                  std::string(rawName(p.hotkeyMode.get())));
  parts.push_back(std::string("tap ") +
                  (!tap_         ? "absent"
                   : isEnabled() ? "enabled"
                                 : "DISABLED") +
                  ", accessibility " + (services_.privacy->accessibilityTrusted(false) ? "true" : "false"));
  parts.push_back(std::string("system \u2318Tab ") + (systemShortcut_.isSystemSwitcherOn() ? "ON" : "off"));
  parts.push_back(std::string("fallback hotkey ") + (hotkey_->isRegistered() ? "registered" : "MISSING"));
  parts.push_back(std::string("secure input ") +
                  (secureInputOn_ ? "on (" + secureInputHolder_.value_or("unknown") + ")" : "off"));
  auto front = services_.workspace->frontmostApplication();
  parts.push_back("frontmost " +
                  (front && front->bundleIdentifier ? *front->bundleIdentifier : std::string("none")));
  HealthMonitor* health = services_.healthMonitor;
  parts.push_back("other keyboard taps: " + (health ? joined(health->keyboardTaps().others) : std::string()));
  parts.push_back("input tools: " + (health ? joined(health->inputTools()) : std::string()));
  parts.push_back("keyboards: " + (health ? joined(health->keyboardDevices()) : std::string()));
  parts.push_back(std::string("input monitoring ") +
                  (services_.privacy->listenEventPreflight() ? "true" : "false"));
  std::string line = "state: ";
  for (std::size_t i = 0; i < parts.size(); ++i) line += (i ? "; " : "") + parts[i];
  services_.log->health(line);
}

}  // namespace velvix
