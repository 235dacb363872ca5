#pragma once
// The input pipeline of the simulated desktop. A key or mouse event from the hardware first
// changes what the hardware reports as held, then passes the event taps in order (a tap may drop
// or rewrite it; secure input hides key-downs and key-ups from taps), then the system's own
// shortcuts (its Command-Tab switcher while that is enabled), then the applications' hot keys,
// and finally reaches the frontmost application. A tap whose callback takes longer than the
// tap time-out is disabled by the system, which tells it so with its next event. The held keys
// and the list of taps may be read from any thread, as watchers off the main thread do.

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/EventTaps.hpp"
#include "Platform/HotKeys.hpp"
#include "Platform/KeyboardRegistry.hpp"

namespace velvix::sim {

class SimDesktop;

class SimInput final : public platform::EventTaps,
                       public platform::HotKeys,
                       public platform::KeyboardRegistry {
 public:
  static constexpr double kTapTimeout = 1.0;

  explicit SimInput(SimDesktop& desktop) : desktop_(desktop) {}

  // ---- the hardware
  // Sends one event from the hardware through the pipeline; flags are those held with it.
  void send(platform::InputEvent event);
  // Conveniences: a key press (down and up) with modifiers held, and modifier changes.
  void keyDown(std::int64_t keyCode, std::uint64_t flags = 0, bool autorepeat = false);
  void keyUp(std::int64_t keyCode, std::uint64_t flags = 0);
  void press(std::int64_t keyCode, std::uint64_t flags = 0);
  void setModifiers(std::uint64_t flags);
  void click(Point location, std::uint64_t flags = 0);

  std::uint64_t heldFlags() const { return heldFlags_.load(); }
  bool isKeyHeld(std::int64_t keyCode) const;
  // The left button is down between its mouse-down and mouse-up, whatever the taps did with them.
  bool isMouseButtonDown() const { return mouseButtonDown_.load(); }

  // ---- faults and outcomes
  bool loseEventsBeforeTaps = false;  // the hardware sees them, nothing upstream does
  std::vector<platform::InputEvent> reachedFrontApplication;
  int systemSwitcherShown = 0;  // Command-Tab presses the system's own switcher took
  std::vector<std::string> attachedKeyboards{"Apple Internal Keyboard / Trackpad"};
  bool registryFails = false;
  int hotKeyRegistrationStatus = 0;  // non-zero: registrations fail with it
  int handlerInstallStatus = 0;
  // Taps of other processes, for the list of event taps.
  std::vector<TapInfo> foreignTaps;

  // ---- EventTaps
  std::optional<TapID> createTap(std::uint64_t eventMask, Callback callback) override;
  void setEnabled(TapID tap, bool enabled) override;
  bool isEnabled(TapID tap) const override;
  bool isValid(TapID tap) const override;
  void invalidate(TapID tap) override;
  // What the system does to a tap that answered too late: switches it off, and tells it so with
  // the next event.
  void disableByTimeout(TapID tap);
  // The taps that run now.
  std::vector<TapID> enabledTaps() const;
  std::vector<TapInfo> tapList() const override;
  void post(const platform::InputEvent& event) override;

  // ---- HotKeys
  int installHandler(Handler handler) override;
  int registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t signature,
                     std::uint32_t id, std::uint64_t& ref) override;
  void unregisterHotKey(std::uint64_t ref) override;
  std::size_t hotKeyCount() const { return hotKeys_.size(); }

  // ---- KeyboardRegistry
  std::optional<std::vector<std::optional<std::string>>> keyboards() const override;

 private:
  struct Tap {
    std::uint64_t mask;
    Callback callback;
    bool enabled = true;
    bool valid = true;
    bool timedOut = false;  // disabled by the system; says so with the next event
    double maxLatency = 0;  // seconds
  };
  struct HotKey {
    std::uint32_t keyCode, modifiers, signature, id;
  };
  void dispatch(platform::InputEvent event, bool fromHardware);
  void deliver(platform::InputEvent event);
  void typeIntoFrontWindow(const platform::InputEvent& event);
  bool runTaps(platform::InputEvent& event);
  static std::uint32_t hotKeyModifiers(std::uint64_t flags);
  void setKeyHeld(std::int64_t keyCode, bool held);

  SimDesktop& desktop_;
  // Taps change on the main thread only; those changes and reads from other threads hold this.
  mutable std::mutex tapsMutex_;
  std::map<TapID, Tap> taps_;
  std::vector<TapID> tapOrder_;  // head first
  TapID nextTap_ = 1;
  std::map<std::uint64_t, HotKey> hotKeys_;
  std::uint64_t nextHotKeyRef_ = 1;
  std::optional<Handler> handler_;
  std::atomic<std::uint64_t> heldFlags_{0};
  std::atomic<bool> mouseButtonDown_{false};
  mutable std::mutex heldKeysMutex_;
  std::set<std::int64_t> heldKeys_;
  bool dispatching_ = false;
  std::deque<platform::InputEvent> postedWhileDispatching_;
};

}  // namespace velvix::sim
