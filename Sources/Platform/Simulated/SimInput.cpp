#include "Platform/Simulated/SimInput.hpp"

#include <algorithm>

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimExtensionsPage.hpp"
#include "Platform/Simulated/SimLineEditor.hpp"
#include "Platform/Simulated/SimPasteboard.hpp"
#include "Platform/Simulated/SimSecureInputState.hpp"
#include "Platform/Simulated/SimSymbolicHotKeys.hpp"

namespace velvix::sim {

// Event flags, spelled out: inside SimInput the bare names are the hot-key modifier bits it
// inherits from HotKeys, which have other values.
namespace EventFlag = platform::EventFlag;
using platform::EventType;
using platform::InputEvent;
using platform::InputEventType;

void SimInput::keyDown(std::int64_t keyCode, std::uint64_t flags, bool autorepeat) {
  send({.type = EventType::keyDown, .keyCode = keyCode, .flags = flags, .autorepeat = autorepeat});
}

void SimInput::keyUp(std::int64_t keyCode, std::uint64_t flags) {
  send({.type = EventType::keyUp, .keyCode = keyCode, .flags = flags});
}

void SimInput::press(std::int64_t keyCode, std::uint64_t flags) {
  keyDown(keyCode, flags);
  keyUp(keyCode, flags);
}

void SimInput::setModifiers(std::uint64_t flags) {
  send({.type = EventType::flagsChanged, .flags = flags});
}

void SimInput::click(Point location, std::uint64_t flags) {
  desktop_.movePointer(location);
  send({.type = EventType::leftMouseDown, .flags = flags, .location = location});
  send({.type = EventType::leftMouseUp, .flags = flags, .location = location});
}

bool SimInput::isKeyHeld(std::int64_t keyCode) const {
  std::lock_guard lock(heldKeysMutex_);
  return heldKeys_.contains(keyCode);
}

void SimInput::setKeyHeld(std::int64_t keyCode, bool held) {
  std::lock_guard lock(heldKeysMutex_);
  if (held) {
    heldKeys_.insert(keyCode);
  } else {
    heldKeys_.erase(keyCode);
  }
}

void SimInput::send(InputEvent event) {
  switch (event.type) {
    case EventType::keyDown:
      setKeyHeld(event.keyCode, true);
      desktop_.noteInput(InputEventType::keyDown);
      break;
    case EventType::keyUp:
      setKeyHeld(event.keyCode, false);
      break;
    case EventType::flagsChanged:
      heldFlags_ = event.flags & platform::EventFlag::kModifiers;
      desktop_.noteInput(InputEventType::flagsChanged);
      break;
    case EventType::leftMouseDown:
      mouseButtonDown_ = true;
      desktop_.noteInput(InputEventType::leftMouseDown);
      break;
    case EventType::leftMouseUp:
      mouseButtonDown_ = false;
      break;
    case EventType::rightMouseDown:
      desktop_.noteInput(InputEventType::rightMouseDown);
      break;
    default:
      break;
  }
  if (loseEventsBeforeTaps) return;
  dispatch(event, true);
}

// An event posted while another is on its way (from a tap's callback) joins the queue behind it,
// as the real system's does: it passes the taps only after the callback has returned and the
// event in hand has been delivered.
void SimInput::post(const InputEvent& event) {
  if (dispatching_) {
    postedWhileDispatching_.push_back(event);
    return;
  }
  dispatch(event, false);
}

// Runs the taps in order; false when one dropped the event.
bool SimInput::runTaps(InputEvent& event) {
  const bool hiddenBySecureInput =
      desktop_.secureInput.enabled && (event.type == EventType::keyDown || event.type == EventType::keyUp);
  const std::vector<TapID> order = tapOrder_;  // a callback may create or remove taps
  for (TapID id : order) {
    auto it = taps_.find(id);
    if (it == taps_.end() || !it->second.valid) continue;
    Tap& tap = it->second;
    if (tap.timedOut) {
      {
        std::lock_guard lock(tapsMutex_);
        tap.timedOut = false;
      }
      InputEvent notice{.type = EventType::tapDisabledByTimeout};
      auto callback = tap.callback;
      callback(notice);
      it = taps_.find(id);
      if (it == taps_.end()) continue;
    }
    Tap& current = it->second;
    if (!current.enabled || hiddenBySecureInput) continue;
    if (!(current.mask & InputEvent::maskBit(event.type))) continue;
    const double started = desktop_.loop().uptime();
    auto callback = current.callback;
    const bool pass = callback(event);
    const double took = desktop_.loop().uptime() - started;
    if (auto after = taps_.find(id); after != taps_.end()) {
      std::lock_guard lock(tapsMutex_);
      after->second.maxLatency = std::max(after->second.maxLatency, took);
      // A tap that answers too late is switched off by the system, which says so later.
      if (took > kTapTimeout) {
        after->second.enabled = false;
        after->second.timedOut = true;
      }
    }
    if (!pass) return false;
  }
  return true;
}

std::uint32_t SimInput::hotKeyModifiers(std::uint64_t flags) {
  std::uint32_t m = 0;
  if (flags & EventFlag::kCommand) m |= HotKeys::kCommand;
  if (flags & EventFlag::kShift) m |= HotKeys::kShift;
  if (flags & EventFlag::kOption) m |= HotKeys::kOption;
  if (flags & EventFlag::kControl) m |= HotKeys::kControl;
  return m;
}

void SimInput::dispatch(InputEvent event, bool fromHardware) {
  if (dispatching_) {
    postedWhileDispatching_.push_back(event);
    return;
  }
  dispatching_ = true;
  deliver(std::move(event));
  while (!postedWhileDispatching_.empty()) {
    InputEvent next = std::move(postedWhileDispatching_.front());
    postedWhileDispatching_.pop_front();
    deliver(std::move(next));
  }
  dispatching_ = false;
  (void)fromHardware;
}

void SimInput::deliver(InputEvent event) {
  if (!runTaps(event)) return;
  if (event.type == EventType::keyDown && event.keyCode == platform::KeyCode::kTab) {
    // The system's own switcher takes Command-Tab and Command-Shift-Tab while they are enabled.
    const std::uint64_t mods = event.flags & platform::EventFlag::kModifiers;
    auto& symbolic = desktop_.symbolicHotKeys();
    if ((mods == EventFlag::kCommand && symbolic.isEnabled(1)) ||
        (mods == (EventFlag::kCommand | EventFlag::kShift) && symbolic.isEnabled(2))) {
      ++systemSwitcherShown;
      return;
    }
  }
  if (event.type == EventType::keyDown && !event.autorepeat) {
    const std::uint32_t mods = hotKeyModifiers(event.flags);
    for (const auto& [ref, hotKey] : hotKeys_) {
      if (hotKey.keyCode != static_cast<std::uint32_t>(event.keyCode) || hotKey.modifiers != mods) continue;
      if (handler_) {
        auto handler = *handler_;
        desktop_.loop().post(
            [handler, signature = hotKey.signature, id = hotKey.id] { handler(signature, id); });
      }
      return;
    }
  }
  reachedFrontApplication.push_back(event);
  if (event.type == EventType::keyDown) typeIntoFrontWindow(event);
  if (auto* page = desktop_.extensionsPageIfMade(); page && desktop_.frontmostPid())
    page->deliver(*desktop_.frontmostPid(), event);
  if (event.type == EventType::leftMouseDown) desktop_.clickAt(event.location);
}

// A terminal's shell edits its line with the keys that reach the terminal's front window.
void SimInput::typeIntoFrontWindow(const InputEvent& event) {
  const auto front = desktop_.frontmostPid();
  if (!front) return;
  for (auto number : desktop_.windowsOf(*front)) {
    SimWindow* w = desktop_.window(number);
    if (!w || w->layer != 0 || !desktop_.isOnScreen(*w)) continue;
    if (w->textArea)
      SimLineEditor::handle(*w->textArea, event, desktop_.pasteboard(), desktop_.shellHandoffFile);
    return;
  }
}

std::optional<platform::EventTaps::TapID> SimInput::createTap(std::uint64_t eventMask, Callback callback) {
  if (!desktop_.accessibilityTrusted) return std::nullopt;
  std::lock_guard lock(tapsMutex_);
  const TapID id = nextTap_++;
  taps_[id] = Tap{eventMask, std::move(callback)};
  tapOrder_.insert(tapOrder_.begin(), id);
  return id;
}

void SimInput::setEnabled(TapID tap, bool enabled) {
  std::lock_guard lock(tapsMutex_);
  if (auto it = taps_.find(tap); it != taps_.end() && it->second.valid) {
    it->second.enabled = enabled;
    if (enabled) it->second.timedOut = false;
  }
}

bool SimInput::isEnabled(TapID tap) const {
  auto it = taps_.find(tap);
  return it != taps_.end() && it->second.valid && it->second.enabled;
}

bool SimInput::isValid(TapID tap) const {
  auto it = taps_.find(tap);
  return it != taps_.end() && it->second.valid && desktop_.accessibilityTrusted;
}

void SimInput::disableByTimeout(TapID tap) {
  std::lock_guard lock(tapsMutex_);
  if (auto it = taps_.find(tap); it != taps_.end()) {
    it->second.enabled = false;
    it->second.timedOut = true;
  }
}

std::vector<SimInput::TapID> SimInput::enabledTaps() const {
  std::lock_guard lock(tapsMutex_);
  std::vector<TapID> result;
  for (const auto& [id, tap] : taps_)
    if (tap.enabled && tap.valid) result.push_back(id);
  return result;
}

void SimInput::invalidate(TapID tap) {
  std::lock_guard lock(tapsMutex_);
  taps_.erase(tap);
  std::erase(tapOrder_, tap);
}

std::vector<platform::EventTaps::TapInfo> SimInput::tapList() const {
  std::vector<TapInfo> list = foreignTaps;
  std::lock_guard lock(tapsMutex_);
  for (TapID id : tapOrder_) {
    const Tap& tap = taps_.at(id);
    list.push_back({desktop_.selfPid(), tap.enabled, false, true, tap.mask, tap.maxLatency * 1e6});
  }
  return list;
}

int SimInput::installHandler(Handler handler) {
  if (handlerInstallStatus != 0) return handlerInstallStatus;
  handler_ = std::move(handler);
  return 0;
}

int SimInput::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t signature,
                             std::uint32_t id, std::uint64_t& ref) {
  if (hotKeyRegistrationStatus != 0) return hotKeyRegistrationStatus;
  ref = nextHotKeyRef_++;
  hotKeys_[ref] = HotKey{keyCode, modifiers, signature, id};
  return 0;
}

void SimInput::unregisterHotKey(std::uint64_t ref) {
  hotKeys_.erase(ref);
}

std::optional<std::vector<std::optional<std::string>>> SimInput::keyboards() const {
  if (registryFails) return std::nullopt;
  std::vector<std::optional<std::string>> names;
  for (const auto& k : attachedKeyboards)
    names.push_back(k.empty() ? std::nullopt : std::optional<std::string>(k));
  return names;
}

}  // namespace velvix::sim
