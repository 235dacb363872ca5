#include "Input/SwitcherHotkey.hpp"

#include <string>

#include "Platform/HotKeys.hpp"
#include "Support/DebugLog.hpp"

namespace velvix {
namespace {

using platform::HotKeys;

std::uint32_t modifiersFor(HotkeyMode mode, bool reverse) {
  const std::uint32_t trigger = mode == HotkeyMode::optionTab ? HotKeys::kOption : HotKeys::kCommand;
  return reverse ? trigger | HotKeys::kShift : trigger;
}

}  // namespace

SwitcherHotkey::SwitcherHotkey(HotKeys& hotKeys, DebugLog& log) : hotKeys_(hotKeys), log_(log) {}

SwitcherHotkey::~SwitcherHotkey() {
  unregister();
}

bool SwitcherHotkey::isRegistered() const {
  return handlerInstalled_ && refs_.size() == 2;
}

void SwitcherHotkey::registerMode(std::optional<HotkeyMode> mode) {
  if (!mode) {
    if (mode_) {
      unregister();
      mode_.reset();
    }
    return;
  }
  if (mode_ == mode && refs_.size() >= 2 && handlerInstalled_) return;
  unregister();
  mode_ = mode;
  // Registrations without the handler would swallow the chord and deliver it to no one; the
  // next call tries again.
  if (!installHandlerOnce()) return;
  for (std::uint32_t id : {kForwardID, kReverseID}) {
    std::uint64_t ref = 0;
    const int status =
        hotKeys_.registerHotKey(kTabKeyCode, modifiersFor(*mode, id == kReverseID), kSignature, id, ref);
    if (status == HotKeys::kNoError) {
      refs_.push_back(ref);
    } else if (loggedFailure_ != status) {
      health("fallback hotkey " + std::to_string(id) + " not registered (status " + std::to_string(status) +
             "); retrying");
      loggedFailure_ = status;
    }
  }
  if (refs_.size() == 2 && (loggedFailure_ || loggedHandlerFailure_)) {
    health("fallback hotkey registered after retrying");
    loggedFailure_.reset();
    loggedHandlerFailure_.reset();
  }
}

void SwitcherHotkey::unregister() {
  for (std::uint64_t ref : refs_) hotKeys_.unregisterHotKey(ref);
  refs_.clear();
}

bool SwitcherHotkey::installHandlerOnce() {
  if (handlerInstalled_) return true;
  const int status =
      hotKeys_.installHandler([this, watch = alive_.watch()](std::uint32_t signature, std::uint32_t id) {
        if (!watch.expired()) handlePress(signature, id);
      });
  if (status != HotKeys::kNoError) {
    // Logged once per distinct status: the tap retries every second.
    if (loggedHandlerFailure_ != status) {
      health("fallback hotkey handler not installed (status " + std::to_string(status) + ")");
      loggedHandlerFailure_ = status;
    }
    return false;
  }
  handlerInstalled_ = true;
  return true;
}

void SwitcherHotkey::handlePress(std::uint32_t signature, std::uint32_t id) {
  if (signature != kSignature) return;  // another part of the program registered it
  if (onPress) onPress(id == kReverseID);
}

void SwitcherHotkey::health(const std::string& line) {
  log_.health(line);
}

}  // namespace velvix
