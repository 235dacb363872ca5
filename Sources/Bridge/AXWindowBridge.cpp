#include "Bridge/AXWindowBridge.hpp"

#include <algorithm>
#include <limits>

#include "Platform/MainLoop.hpp"
#include "Platform/Utf8.hpp"

namespace velvix {

using platform::AXElement;
using platform::AXError;
using platform::AXValue;
namespace Attr = platform::AXAttribute;

namespace {
// Numbers outside the window server's 32-bit range match no window.
bool isWindowNumber(std::int64_t n) {
  return n >= 0 && n <= std::numeric_limits<std::uint32_t>::max();
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}
bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}
bool contains(const std::vector<std::string>& list, const std::string& text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}
}  // namespace

bool AXWindowBridge::pastDeadline(double deadline) const {
  return clock_.uptime() > deadline;
}

std::optional<std::vector<AXElement>> AXWindowBridge::axWindowsIfEnumerable(platform::Pid app) {
  if (!ax_.isProcessTrusted()) return std::nullopt;
  AXElement application = ax_.applicationElement(app);
  ax_.setMessagingTimeout(application, kMessagingTimeout);
  AXValue value;
  if (ax_.copyAttribute(application, Attr::kWindows, value) != AXError::success) return std::nullopt;
  auto* windows = std::get_if<std::vector<AXElement>>(&value);
  if (!windows) return std::nullopt;
  for (AXElement window : *windows) ax_.setMessagingTimeout(window, kMessagingTimeout);
  return std::move(*windows);
}

std::optional<std::string> AXWindowBridge::title(AXElement window) {
  AXValue value;
  if (ax_.copyAttribute(window, Attr::kTitle, value) != AXError::success) return std::nullopt;
  if (auto* text = std::get_if<std::string>(&value)) return *text;
  return std::nullopt;
}

std::optional<bool> AXWindowBridge::boolAttribute(AXElement element, const char* attribute) {
  AXValue value;
  if (ax_.copyAttribute(element, attribute, value) != AXError::success) return std::nullopt;
  if (auto* flag = std::get_if<bool>(&value)) return *flag;
  return std::nullopt;
}

std::optional<std::int64_t> AXWindowBridge::number(AXElement window) {
  std::int64_t n = 0;
  if (ax_.windowNumber(window, n) != AXError::success) return std::nullopt;
  return n;
}

std::vector<std::string> AXWindowBridge::allWindowTitles(platform::Pid app) {
  const double deadline = clock_.uptime() + kEnumerationBudget;
  std::vector<std::string> titles;
  auto windows = axWindowsIfEnumerable(app);
  if (!windows) return titles;
  for (AXElement window : *windows) {
    if (pastDeadline(deadline)) break;
    if (auto t = title(window); t && !t->empty()) titles.push_back(*t);
  }
  return titles;
}

std::vector<AXWindowBridge::TitledWindow> AXWindowBridge::titledWindows(platform::Pid app) {
  const double deadline = clock_.uptime() + kEnumerationBudget;
  std::vector<TitledWindow> result;
  auto windows = axWindowsIfEnumerable(app);
  if (!windows) return result;
  for (AXElement window : *windows) {
    if (pastDeadline(deadline)) break;
    if (boolAttribute(window, Attr::kMinimized) == true) continue;
    if (auto t = title(window); t && !t->empty()) result.push_back({window, *t});
  }
  return result;
}

std::vector<std::string> AXWindowBridge::windowTitles(platform::Pid app) {
  std::vector<std::string> titles;
  for (auto& w : titledWindows(app)) titles.push_back(std::move(w.title));
  return titles;
}

std::map<std::int64_t, std::string> AXWindowBridge::windowTitlesByNumber(platform::Pid app) {
  const double deadline = clock_.uptime() + kEnumerationBudget;
  std::map<std::int64_t, std::string> result;
  auto windows = axWindowsIfEnumerable(app);
  if (!windows) return result;
  for (AXElement window : *windows) {
    if (pastDeadline(deadline)) break;
    auto n = number(window);
    if (!n) continue;
    result[*n] = title(window).value_or("");
  }
  return result;
}

std::optional<std::vector<AXWindowBridge::WindowState>> AXWindowBridge::windowStatesIfEnumerable(
    platform::Pid app, std::optional<double> deadline,
    const std::function<bool(std::int64_t)>& mayBeMinimized) {
  auto windows = axWindowsIfEnumerable(app);
  if (!windows) return std::nullopt;
  double limit = clock_.uptime() + kEnumerationBudget;
  if (deadline && *deadline < limit) limit = *deadline;
  std::vector<WindowState> states;
  states.reserve(windows->size());
  for (AXElement window : *windows) {
    if (pastDeadline(limit)) return std::nullopt;
    auto n = number(window);
    if (!n) return std::nullopt;
    const bool asked = !mayBeMinimized || mayBeMinimized(*n);
    states.push_back({*n, asked && boolAttribute(window, Attr::kMinimized).value_or(false)});
  }
  return states;
}

std::optional<std::int64_t> AXWindowBridge::focusedWindowNumber(platform::Pid app) {
  if (!ax_.isProcessTrusted()) return std::nullopt;
  AXElement application = ax_.applicationElement(app);
  ax_.setMessagingTimeout(application, kMessagingTimeout);
  AXValue value;
  if (ax_.copyAttribute(application, Attr::kFocusedWindow, value) != AXError::success) return std::nullopt;
  auto* window = std::get_if<AXElement>(&value);
  if (!window || !*window) return std::nullopt;
  return number(*window);
}

std::optional<AXElement> AXWindowBridge::axWindow(std::int64_t wanted, platform::Pid app) {
  const double deadline = clock_.uptime() + kEnumerationBudget;
  if (!isWindowNumber(wanted)) return std::nullopt;
  auto windows = axWindowsIfEnumerable(app);
  if (!windows) return std::nullopt;
  for (AXElement window : *windows) {
    if (pastDeadline(deadline)) return std::nullopt;
    if (number(window) == wanted) return window;
  }
  return std::nullopt;
}

AXWindowBridge::FoundWindow AXWindowBridge::findWindow(std::int64_t wanted, const std::string& fallbackTitle,
                                                       platform::Pid app) {
  const double deadline = clock_.uptime() + kEnumerationBudget;
  auto windows = axWindowsIfEnumerable(app);
  if (!windows) return {std::nullopt, false};
  bool proven = true;
  for (AXElement window : *windows) {
    if (pastDeadline(deadline)) return {std::nullopt, false};
    auto n = number(window);
    if (!n) {
      proven = false;
      continue;
    }
    if (isWindowNumber(wanted) && *n == wanted) return {window, true};
  }
  if (fallbackTitle.empty()) return {std::nullopt, proven};
  for (AXElement window : *windows) {
    if (pastDeadline(deadline)) return {std::nullopt, false};
    if (title(window) == fallbackTitle) return {window, true};
  }
  return {std::nullopt, proven};
}

void AXWindowBridge::raise(AXElement window) {
  if (ax_.performAction(window, platform::AXAction::kRaise) != AXError::success)
    ax_.setAttribute(window, Attr::kMain, true);
}

AXWindowBridge::RaiseOutcome AXWindowBridge::raiseWindow(std::int64_t wanted,
                                                         const std::string& fallbackTitle,
                                                         platform::Pid app) {
  FoundWindow found = findWindow(wanted, fallbackTitle, app);
  if (!found.element) return found.proven ? RaiseOutcome::missing : RaiseOutcome::unknown;
  if (boolAttribute(*found.element, Attr::kMinimized) == true)
    ax_.setAttribute(*found.element, Attr::kMinimized, false);
  raise(*found.element);
  return RaiseOutcome::raised;
}

bool AXWindowBridge::raiseWindow(const std::string& titledContaining, platform::Pid app) {
  if (titledContaining.empty()) return false;
  for (const auto& w : titledWindows(app)) {
    if (utf8::containsCaseInsensitive(w.title, titledContaining)) {
      raise(w.element);
      return true;
    }
  }
  return false;
}

bool AXWindowBridge::raiseAuxWindow(const std::string& titled, const std::vector<std::string>& scripted,
                                    platform::Pid app) {
  auto windows = titledWindows(app);
  const TitledWindow* choice = nullptr;
  for (const auto& w : windows)
    if (w.title == titled) {
      choice = &w;
      break;
    }
  if (!choice)
    for (const auto& w : windows)
      if (!contains(scripted, w.title)) {
        choice = &w;
        break;
      }
  if (!choice) return false;
  ax_.performAction(choice->element, platform::AXAction::kRaise);
  return true;
}

bool AXWindowBridge::raiseScriptedWindow(const std::vector<std::string>& scripted, platform::Pid app) {
  for (const auto& w : titledWindows(app)) {
    if (contains(scripted, w.title)) {
      ax_.performAction(w.element, platform::AXAction::kRaise);
      return true;
    }
  }
  return false;
}

bool AXWindowBridge::closeFrontWindow(platform::Pid app) {
  auto windows = axWindowsIfEnumerable(app);
  if (!windows) return false;
  for (AXElement window : *windows) {
    if (boolAttribute(window, Attr::kMinimized) == true) continue;
    if (pressCloseButton(window)) return true;
  }
  return false;
}

bool AXWindowBridge::pressCloseButton(AXElement window) {
  AXValue value;
  if (ax_.copyAttribute(window, Attr::kCloseButton, value) != AXError::success) return false;
  auto* button = std::get_if<AXElement>(&value);
  if (!button || !*button) return false;
  return ax_.performAction(*button, platform::AXAction::kPress) == AXError::success;
}

bool AXWindowBridge::isPrivateWindowTitle(const std::string& title,
                                          const std::vector<std::string>& scripted) {
  if (endsWith(title, ", Private Browsing")) return true;
  if (contains(scripted, title)) return false;
  const std::size_t titleLength = utf8::length(title);
  for (const auto& name : scripted) {
    if (name.empty() || utf8::length(name) >= titleLength) continue;
    for (const char* separator : {", ", " \u2014 ", " \u2013 ", " - "})
      if (startsWith(title, name + separator)) return true;
  }
  return false;
}

std::optional<std::string> AXWindowBridge::auxWindowTitle(const std::vector<std::string>& titles,
                                                          const std::optional<std::string>& appName,
                                                          const std::vector<std::string>& scripted) {
  if (titles.empty()) return std::nullopt;
  const std::string& first = titles.front();
  if (appName && first == *appName) return std::nullopt;
  if (contains(scripted, first) || isPrivateWindowTitle(first, scripted)) return std::nullopt;
  return first;
}

}  // namespace velvix
