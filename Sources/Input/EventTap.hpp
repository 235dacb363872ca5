#pragma once
// The session-wide keyboard and mouse tap through which the system sees the chord. For every
// key-down, key-up, modifier change and mouse-down it decides whether the event is consumed,
// passed, or passed after a side effect; it starts and steps chords; it keeps the tap alive
// (watchdog, re-enabling after the system disabled it, after wake and unlock); it watches secure
// input; it can lock all user input while the system types into another application; and it
// decides who owns Command-Tab at any moment. Main thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Input/ChordPressPairing.hpp"
#include "Input/KeyUpLedger.hpp"
#include "Platform/EventTaps.hpp"
#include "Platform/MainLoop.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Support/AliveToken.hpp"
#include "Support/InputLock.hpp"

namespace velvix {

struct Services;
class SwitcherController;
class SwitcherHotkey;
class SystemSwitcherShortcut;

class EventTap final : public InputLock {
 public:
  static constexpr std::uint64_t kEventMask = 0x02001C0E;
  static constexpr double kWatchdogInterval = 5.0;
  static constexpr double kSecureInputInterval = 1.0;
  static constexpr double kStallReportedAbove = 0.75;

  EventTap(Services& services, SwitcherController& switcher);
  ~EventTap();

  // Creates and installs the tap; true when a tap exists afterwards.
  bool start();
  // Tears everything down and gives the chord back to the system.
  void stop();
  // Applies the settings to the chord's owners: this program (the tap), the fallback hot key, or
  // the system.
  void reconcileChordOwnership();
  void logState();

  bool canLockInput() const override { return hasTap() && isEnabled(); }
  void lockInput(double timeout, std::function<void(bool byEscape)> onAbort) override;
  void unlockInput() override;
  bool isInputLocked() const { return inputLockDeadline_.has_value(); }

  bool hasTap() const { return tap_.has_value(); }
  bool isEnabled() const;
  std::optional<platform::EventTaps::TapID> tap() const { return tap_; }

  std::function<void()> onTapLost;
  std::function<void(bool on, std::optional<std::string> holder)> onSecureInputChange;

  // The decision for one event; false drops it. The tap's callback.
  bool handle(platform::InputEvent& event);
  void handleHotkeyPress(bool reverse);

 private:
  bool consumesKeyDown(platform::InputEvent& event, std::uint64_t trigger);
  void checkSecureInput();
  void observeSessionReturns();
  void watchdogTick();
  std::optional<std::string> secureInputHolderName() const;
  std::uint64_t triggerFlag() const;
  void toggleMicrophone(bool autorepeat);

  Services& services_;
  SwitcherController& switcher_;
  std::optional<platform::EventTaps::TapID> tap_;
  platform::Timer watchdog_;
  double lastWatchdogTick_ = 0;
  std::optional<double> inputLockDeadline_;
  platform::Timer inputLockTimer_;
  std::function<void(bool)> inputLockAbort_;
  KeyUpLedger keyUps_;
  std::unique_ptr<SwitcherHotkey> hotkey_;
  SystemSwitcherShortcut& systemShortcut_;
  ChordPressPairing pressPairing_;
  std::vector<platform::NotificationCenter::Observation> sessionObservers_;
  std::optional<std::string> secureInputHolder_;
  bool secureInputOn_ = false;
  platform::Timer secureInputWatch_;
  AliveToken alive_;
};

}  // namespace velvix
