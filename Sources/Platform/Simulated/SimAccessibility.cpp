#include "Platform/Simulated/SimAccessibility.hpp"

#include <utility>

#include "Platform/Simulated/SimDesktop.hpp"
#include "Platform/Simulated/SimDock.hpp"
#include "Platform/Simulated/SimExtensionsPage.hpp"

namespace velvix::sim {

using platform::AXElement;
using platform::AXError;
using platform::AXValue;
namespace Attr = platform::AXAttribute;

namespace {
constexpr std::uint64_t kKindShift = 56;
constexpr std::uint64_t kPayloadMask = (std::uint64_t{1} << kKindShift) - 1;
// 4 and 5 are the Dock's elements (SimDock), 6 the extensions page's (SimExtensionsPage).
constexpr std::uint64_t kApplicationTag = 1, kWindowTag = 2, kCloseButtonTag = 3, kScrollAreaTag = 7,
                        kTextAreaTag = 8;

AXElement element(std::uint64_t tag, std::uint64_t payload) {
  return AXElement{(tag << kKindShift) | payload};
}

std::string describe(AXElement e) {
  switch (e.id >> kKindShift) {
    case kApplicationTag:
      return "app " + std::to_string(e.id & kPayloadMask);
    case kWindowTag:
      return "window " + std::to_string(e.id & kPayloadMask);
    case kCloseButtonTag:
      return "close button of window " + std::to_string(e.id & kPayloadMask);
    case kScrollAreaTag:
      return "scroll area of window " + std::to_string(e.id & kPayloadMask);
    case kTextAreaTag:
      return "text area of window " + std::to_string(e.id & kPayloadMask);
  }
  return "element " + std::to_string(e.id);
}
}  // namespace

AXElement SimAccessibility::windowElement(std::int64_t number) {
  return element(kWindowTag, static_cast<std::uint64_t>(number));
}

bool SimAccessibility::isProcessTrusted() const {
  return desktop_.accessibilityTrusted;
}

AXElement SimAccessibility::applicationElement(platform::Pid pid) {
  return element(kApplicationTag, static_cast<std::uint32_t>(pid));
}

std::optional<SimAccessibility::Target> SimAccessibility::resolve(AXElement e) {
  // Questions look at the desktop without counting as a change of it: its changes come through
  // the desktop's own operations.
  const SimDesktop& desktop = desktop_;
  const std::uint64_t tag = e.id >> kKindShift, payload = e.id & kPayloadMask;
  if (tag == kApplicationTag) {
    const SimApp* app = std::as_const(desktop).app(static_cast<platform::Pid>(payload));
    if (!app || app->terminated) return std::nullopt;
    return Target{Kind::application, app, 0, e};
  }
  if (SimExtensionsPage::isPageElement(e)) {
    SimExtensionsPage* page = desktop_.extensionsPageIfMade();
    if (!page || !page->exists(e)) return std::nullopt;
    return Target{Kind::pageElement, desktop.app(*page->browser()), 0, e};
  }
  if (SimDock::isDockElement(e)) {
    auto dockPid = desktop_.dock().pid();
    if (!dockPid || !desktop_.dock().exists(e)) return std::nullopt;
    return Target{Kind::dockElement, desktop.app(*dockPid), 0, e};
  }
  if (tag == kScrollAreaTag || tag == kTextAreaTag) {
    const SimWindow* w = std::as_const(desktop).window(static_cast<std::int64_t>(payload));
    if (!w || !w->inAccessibility || !w->textArea) return std::nullopt;
    return Target{tag == kTextAreaTag ? Kind::textArea : Kind::scrollArea, desktop.app(w->owner), w->number,
                  e, w};
  }
  if (tag == kWindowTag || tag == kCloseButtonTag) {
    const SimWindow* w = std::as_const(desktop).window(static_cast<std::int64_t>(payload));
    if (!w || !w->inAccessibility) return std::nullopt;
    if (tag == kCloseButtonTag && !w->hasCloseButton) return std::nullopt;
    return Target{tag == kWindowTag ? Kind::window : Kind::closeButton, desktop.app(w->owner), w->number, e,
                  w};
  }
  return std::nullopt;
}

bool SimAccessibility::answers(AXElement e, const SimApp& app, double extraLatency) {
  double timeout = kDefaultMessagingTimeout;
  if (auto it = timeouts_.find(e.id); it != timeouts_.end()) {
    timeout = it->second;
  } else if (auto appIt = timeouts_.find(applicationElement(app.pid).id); appIt != timeouts_.end()) {
    timeout = appIt->second;
  }
  const double latency = app.axLatency + extraLatency;
  if (app.axUnresponsive || latency > timeout) {
    desktop_.spend(timeout);
    return false;
  }
  desktop_.spend(latency);
  return true;
}

std::optional<std::int64_t> SimAccessibility::focusedWindow(const SimApp& app) const {
  std::optional<std::int64_t> focused;
  for (auto number : desktop_.windowOrderOf(app.pid)) {
    const SimWindow* w = std::as_const(desktop_).window(number);
    if (!w->inAccessibility || w->minimized) continue;
    if (w->layer == 0) return number;
    if (!focused) focused = number;
  }
  return focused;
}

AXError SimAccessibility::setMessagingTimeout(AXElement e, double seconds) {
  if (!resolve(e)) return AXError::invalidElement;
  if (seconds < 0) return AXError::illegalArgument;
  timeouts_[e.id] = seconds;
  return AXError::success;
}

AXError SimAccessibility::copyAttribute(AXElement e, const std::string& attribute, AXValue& value) {
  value = std::monostate{};
  if (!isProcessTrusted()) return AXError::apiDisabled;
  auto target = resolve(e);
  if (!target) return AXError::invalidElement;
  const SimTextArea* area = target->kind == Kind::textArea ? &*target->windowState->textArea : nullptr;
  if (!answers(e, *target->app, area ? area->latency : 0)) return AXError::cannotComplete;
  if (target->app->failingAttributes.contains(attribute)) return AXError::failure;
  if (area && area->failingAttributes.contains(attribute)) return AXError::failure;
  return copy(*target, attribute, value);
}

AXError SimAccessibility::copyParameterizedAttribute(AXElement e, const std::string& attribute,
                                                     const AXValue& parameter, AXValue& value) {
  value = std::monostate{};
  if (!isProcessTrusted()) return AXError::apiDisabled;
  auto target = resolve(e);
  if (!target) return AXError::invalidElement;
  if (target->kind != Kind::textArea || attribute != Attr::kStringForRange)
    return AXError::attributeUnsupported;
  const SimTextArea& area = *target->windowState->textArea;
  if (!answers(e, *target->app, area.latency)) return AXError::cannotComplete;
  if (target->app->failingAttributes.contains(attribute) || area.failingAttributes.contains(attribute))
    return AXError::failure;
  const auto* range = std::get_if<platform::AXRange>(&parameter);
  if (!range) return AXError::illegalArgument;
  auto text = area.slice(*range);
  if (!text) return AXError::illegalArgument;
  value = std::move(*text);
  return AXError::success;
}

AXError SimAccessibility::copyText(const Target& t, const std::string& attribute, AXValue& value) {
  const SimWindow& w = *t.windowState;
  const SimTextArea& area = *w.textArea;
  if (attribute == Attr::kRole) {
    value = std::string(t.kind == Kind::textArea ? "AXTextArea" : "AXScrollArea");
    return AXError::success;
  }
  if (attribute == Attr::kParent) {
    value = t.kind == Kind::textArea ? element(kScrollAreaTag, static_cast<std::uint64_t>(w.number))
                                     : windowElement(w.number);
    return AXError::success;
  }
  if (t.kind == Kind::scrollArea) {
    if (attribute != Attr::kChildren) return AXError::attributeUnsupported;
    value = std::vector<AXElement>{element(kTextAreaTag, static_cast<std::uint64_t>(w.number))};
    return AXError::success;
  }
  if (attribute == Attr::kChildren) {
    value = std::vector<AXElement>{};
    return AXError::success;
  }
  if (attribute == Attr::kValue) {
    value = area.text;
    return AXError::success;
  }
  if (attribute == Attr::kNumberOfCharacters) {
    value = area.length16();
    return AXError::success;
  }
  if (attribute == Attr::kSelectedTextRange) {
    value = area.selection;
    return AXError::success;
  }
  if (attribute == Attr::kSelectedText) {
    value = area.slice(area.selection).value_or("");
    return AXError::success;
  }
  return AXError::attributeUnsupported;
}

AXError SimAccessibility::copy(const Target& t, const std::string& attribute, AXValue& value) {
  if (t.kind == Kind::dockElement) return desktop_.dock().copyAttribute(t.element, attribute, value);
  if (t.kind == Kind::pageElement)
    return desktop_.extensionsPage().copyAttribute(t.element, attribute, value);
  if (auto* page = desktop_.extensionsPageIfMade();
      page && t.kind == Kind::application && page->copyApplicationAttribute(t.app->pid, attribute, value)) {
    // The page is one more window of the browser: its own windows stay listed behind it.
    if (auto* listed = std::get_if<std::vector<AXElement>>(&value))
      for (auto number : desktop_.windowOrderOf(t.app->pid))
        if (desktop_.window(number)->inAccessibility) listed->push_back(windowElement(number));
    return AXError::success;
  }
  if (t.kind == Kind::application && t.app->bundleID == SimDock::kBundleID && attribute == Attr::kChildren)
    return desktop_.dock().copyAttribute(t.element, attribute, value);
  if (t.kind == Kind::application) {
    if (attribute == Attr::kWindows) {
      std::vector<AXElement> list;
      for (auto number : desktop_.windowOrderOf(t.app->pid))
        if (std::as_const(desktop_).window(number)->inAccessibility) list.push_back(windowElement(number));
      value = std::move(list);
      return AXError::success;
    }
    if (attribute == Attr::kFocusedWindow || attribute == Attr::kMainWindow) {
      // The front normal window has the focus; floating panels only when there is nothing else.
      auto focused = focusedWindow(*t.app);
      if (!focused) return AXError::noValue;
      value = windowElement(*focused);
      return AXError::success;
    }
    if (attribute == Attr::kFocusedUIElement) {
      auto focused = focusedWindow(*t.app);
      const SimWindow* w = focused ? std::as_const(desktop_).window(*focused) : nullptr;
      if (!w || !w->textArea) return AXError::noValue;
      value = element(w->textArea->focusedIsTextArea ? kTextAreaTag : kScrollAreaTag,
                      static_cast<std::uint64_t>(w->number));
      return AXError::success;
    }
    if (attribute == Attr::kTitle) {
      if (!t.app->name) return AXError::noValue;
      value = *t.app->name;
      return AXError::success;
    }
    if (attribute == Attr::kFrontmost) {
      value = desktop_.frontmostPid() == t.app->pid;
      return AXError::success;
    }
    return AXError::attributeUnsupported;
  }
  if (t.kind == Kind::scrollArea || t.kind == Kind::textArea) return copyText(t, attribute, value);
  const SimWindow& w = *t.windowState;
  if (t.kind == Kind::closeButton) return AXError::attributeUnsupported;
  if (attribute == Attr::kChildren && w.textArea) {
    value = std::vector<AXElement>{element(kScrollAreaTag, static_cast<std::uint64_t>(w.number))};
    return AXError::success;
  }
  if (attribute == Attr::kTitle) {
    value = w.title.value_or("");
    return AXError::success;
  }
  if (attribute == Attr::kMinimized) {
    value = w.minimized;
    return AXError::success;
  }
  if (attribute == Attr::kMain) {
    const auto& windows = desktop_.windowOrderOf(w.owner);
    value = !windows.empty() && windows.front() == w.number;
    return AXError::success;
  }
  if (attribute == Attr::kCloseButton) {
    if (!w.hasCloseButton) return AXError::noValue;
    value = element(kCloseButtonTag, static_cast<std::uint64_t>(w.number));
    return AXError::success;
  }
  if (attribute == Attr::kPosition) {
    value = w.bounds.origin();
    return AXError::success;
  }
  if (attribute == Attr::kSize) {
    value = w.bounds.size();
    return AXError::success;
  }
  if (attribute == Attr::kRole) {
    value = std::string("AXWindow");
    return AXError::success;
  }
  return AXError::attributeUnsupported;
}

AXError SimAccessibility::setAttribute(AXElement e, const std::string& attribute, const AXValue& value) {
  if (!isProcessTrusted()) return AXError::apiDisabled;
  auto target = resolve(e);
  if (!target) return AXError::invalidElement;
  if (!answers(e, *target->app)) return AXError::cannotComplete;
  if (target->app->failingAttributes.contains(attribute)) return AXError::failure;
  desktop_.performedActions.push_back("set " + attribute + " " + describe(e));
  return set(*target, attribute, value);
}

AXError SimAccessibility::set(const Target& t, const std::string& attribute, const AXValue& value) {
  if (t.kind == Kind::pageElement) return desktop_.extensionsPage().setAttribute(t.element, attribute, value);
  if (t.kind == Kind::application &&
      desktop_.extensionsPage().setApplicationAttribute(t.app->pid, attribute, value))
    return AXError::success;
  if (t.kind != Kind::window) return AXError::attributeUnsupported;
  const bool* flag = std::get_if<bool>(&value);
  if (attribute == Attr::kMinimized) {
    if (!flag) return AXError::illegalArgument;
    desktop_.setMinimized(t.window, *flag);
    if (!*flag) desktop_.raiseWindow(t.window);
    return AXError::success;
  }
  if (attribute == Attr::kMain) {
    if (!flag) return AXError::illegalArgument;
    if (*flag) desktop_.raiseWindow(t.window);
    return AXError::success;
  }
  return AXError::attributeUnsupported;
}

AXError SimAccessibility::performAction(AXElement e, const std::string& action) {
  if (!isProcessTrusted()) return AXError::apiDisabled;
  auto target = resolve(e);
  if (!target) return AXError::invalidElement;
  if (!answers(e, *target->app)) return AXError::cannotComplete;
  if (target->app->failingActions.contains(action)) return AXError::failure;
  desktop_.performedActions.push_back(action + " " + describe(e));
  return perform(*target, action);
}

AXError SimAccessibility::perform(const Target& t, const std::string& action) {
  if (t.kind == Kind::pageElement) return desktop_.extensionsPage().performAction(t.element, action);
  if (t.kind == Kind::window && action == platform::AXAction::kRaise) {
    desktop_.raiseWindow(t.window);
    return AXError::success;
  }
  if (t.kind == Kind::closeButton && action == platform::AXAction::kPress) {
    desktop_.closeWindow(t.window);
    return AXError::success;
  }
  return AXError::actionUnsupported;
}

AXError SimAccessibility::windowNumber(AXElement e, std::int64_t& number) {
  if (!isProcessTrusted()) return AXError::apiDisabled;
  auto target = resolve(e);
  if (!target || target->kind != Kind::window) return AXError::invalidElement;
  if (!target->windowState->numberReadable) return AXError::failure;
  number = target->window;
  return AXError::success;
}

AXError SimAccessibility::elementAtPosition(AXElement application, float x, float y, AXElement& element) {
  element = {};
  if (!isProcessTrusted()) return AXError::apiDisabled;
  auto target = resolve(application);
  if (!target || target->kind != Kind::application) return AXError::illegalArgument;
  if (!answers(application, *target->app)) return AXError::cannotComplete;
  const Point point{x, y};
  if (target->app->bundleID == SimDock::kBundleID) return desktop_.dock().elementAt(point, element);
  for (auto number : desktop_.windowOrderOf(target->app->pid)) {
    const SimWindow* w = std::as_const(desktop_).window(number);
    if (w->inAccessibility && desktop_.isOnScreen(*w) && w->bounds.contains(point)) {
      element = windowElement(number);
      return AXError::success;
    }
  }
  return AXError::noValue;
}

}  // namespace velvix::sim
