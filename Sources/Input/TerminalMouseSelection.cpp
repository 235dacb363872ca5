#include "Input/TerminalMouseSelection.hpp"

#include <cmath>

#include "Input/AXDeadline.hpp"
#include "Platform/EventTaps.hpp"
#include "Platform/Linux/Files.hpp"
#include "Platform/Utf8.hpp"
#include "Platform/Workspace.hpp"
#include "Support/DebugLog.hpp"
#include "Support/SupportFolder.hpp"
#include "Support/SyntheticKeys.hpp"

namespace velvix {

using platform::AXElement;
using platform::AXError;
using platform::AXValue;
namespace Attr = platform::AXAttribute;

namespace {
constexpr const char* kTextAreaRole = "AXTextArea";

// White space as a regular expression's \s has it, which takes in the non-breaking space.
bool isBlank(char32_t c) {
  switch (c) {
    case U' ':
    case U'\t':
    case U'\n':
    case U'\v':
    case U'\f':
    case U'\r':
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
    case 0xFEFF:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}
}  // namespace

TerminalMouseSelection::TerminalMouseSelection(platform::Accessibility& accessibility,
                                               platform::EventTaps& taps,
                                               const platform::Workspace& workspace, DebugLog& log,
                                               std::filesystem::path home)
    : accessibility_(accessibility), taps_(taps), workspace_(workspace), log_(log), home_(std::move(home)) {}

std::filesystem::path TerminalMouseSelection::handoffPath() const {
  return SupportFolder::path(home_) / kHandoffFile;
}

void TerminalMouseSelection::leftMouseDown(Point location) {
  pressLocation_ = location;
  armed = false;
}

void TerminalMouseSelection::leftMouseUp(Point location, int clickCount) {
  armed = clickCount >= 2;
  if (pressLocation_) {
    const Point p = *pressLocation_;
    armed = armed || std::abs(location.x - p.x) > kDragDistance || std::abs(location.y - p.y) > kDragDistance;
  }
  pressLocation_.reset();
}

void TerminalMouseSelection::discardHandoff() const {
  std::error_code ignored;
  std::filesystem::remove(handoffPath(), ignored);
}

AXElement TerminalMouseSelection::elementAttribute(AXElement element, const char* attribute,
                                                   const AXDeadline& deadline) {
  AXValue value;
  if (!deadline.bound(accessibility_, element, kMessagingTimeout)) return {};
  if (accessibility_.copyAttribute(element, attribute, value) != AXError::success) return {};
  const AXElement* found = std::get_if<AXElement>(&value);
  return found ? *found : AXElement{};
}

std::optional<std::string> TerminalMouseSelection::stringAttribute(AXElement element, const char* attribute,
                                                                   const AXDeadline& deadline) {
  AXValue value;
  if (!deadline.bound(accessibility_, element, kMessagingTimeout)) return std::nullopt;
  if (accessibility_.copyAttribute(element, attribute, value) != AXError::success) return std::nullopt;
  if (auto* text = std::get_if<std::string>(&value)) return *text;
  return std::nullopt;
}

std::optional<std::string> TerminalMouseSelection::string(AXElement element, platform::AXRange range,
                                                          const AXDeadline& deadline) {
  AXValue value;
  if (!deadline.bound(accessibility_, element, kMessagingTimeout)) return std::nullopt;
  if (accessibility_.copyParameterizedAttribute(element, Attr::kStringForRange, range, value) !=
      AXError::success)
    return std::nullopt;
  if (auto* text = std::get_if<std::string>(&value)) return *text;
  return std::nullopt;
}

AXElement TerminalMouseSelection::firstTextElement(AXElement element, int depth, const AXDeadline& deadline) {
  if (depth > kSearchDepth || deadline.expired()) return {};
  if (stringAttribute(element, Attr::kRole, deadline) == kTextAreaRole) return element;
  AXValue value;
  if (!deadline.bound(accessibility_, element, kMessagingTimeout)) return {};
  if (accessibility_.copyAttribute(element, Attr::kChildren, value) != AXError::success) return {};
  const auto* children = std::get_if<std::vector<AXElement>>(&value);
  if (!children) return {};
  for (std::size_t i = 0; i < children->size() && i < kChildrenSearched; ++i)
    if (AXElement hit = firstTextElement((*children)[i], depth + 1, deadline)) return hit;
  return {};
}

AXElement TerminalMouseSelection::textElement(AXElement application, const AXDeadline& deadline) {
  if (AXElement focused = elementAttribute(application, Attr::kFocusedUIElement, deadline);
      focused && stringAttribute(focused, Attr::kRole, deadline) == kTextAreaRole)
    return focused;
  if (AXElement window = elementAttribute(application, Attr::kFocusedWindow, deadline))
    return firstTextElement(window, 0, deadline);
  return {};
}

std::optional<TerminalMouseSelection::Selection> TerminalMouseSelection::current(platform::Pid terminalPID,
                                                                                 const AXDeadline& deadline) {
  platform::Accessibility& ax = accessibility_;
  const AXElement application = ax.applicationElement(terminalPID);
  const AXElement text = textElement(application, deadline);
  if (!text) {
    log_.log("mouse-select: no text element");
    return std::nullopt;
  }
  AXValue value;
  if (!deadline.bound(ax, text, kMessagingTimeout) ||
      ax.copyAttribute(text, Attr::kSelectedTextRange, value) != AXError::success)
    return std::nullopt;
  const auto* range = std::get_if<platform::AXRange>(&value);
  if (!range || range->length < 1) return std::nullopt;
  const platform::AXRange selected = *range;

  std::optional<std::string> highlighted = stringAttribute(text, Attr::kSelectedText, deadline);
  if (!highlighted) highlighted = string(text, selected, deadline);
  if (!highlighted || highlighted->empty()) return std::nullopt;
  if (highlighted->find('\n') != std::string::npos) {
    log_.log("mouse-select: selection spans lines; ignored");
    return std::nullopt;
  }

  const std::int64_t end = selected.location + selected.length;
  std::optional<std::int64_t> count;
  if (deadline.bound(ax, text, kMessagingTimeout) &&
      ax.copyAttribute(text, Attr::kNumberOfCharacters, value) == AXError::success)
    if (auto* n = std::get_if<std::int64_t>(&value)) count = *n;
  if (!count || *count < end) {
    log_.log("mouse-select: no character count");
    return std::nullopt;
  }
  auto rest = string(text, {end, *count - end}, deadline);
  if (!rest) {
    log_.log("mouse-select: no text after selection");
    return std::nullopt;
  }
  std::u32string after = utf8::decode(*rest);
  while (!after.empty() && isBlank(after.back())) after.pop_back();
  if (after.find(U'\n') != std::u32string::npos) {
    log_.log("mouse-select: selection is above the prompt line; ignored");
    return std::nullopt;
  }
  return Selection{std::move(*highlighted), after.size(), utf8::encode(after)};
}

bool TerminalMouseSelection::requestReplacement(const Selection& selection,
                                                const platform::InputEvent& typing, bool resend) {
  ++handoffCount_;
  const std::string token = std::to_string(workspace_.ownPid()) + "-" + std::to_string(handoffCount_);
  const std::string body = token + " " + std::to_string(selection.after) + "\n" + selection.text + "\n" +
                           selection.following + "\n";
  std::optional<std::string> error = SupportFolder::ensure(home_);
  if (!error) error = files::writeAtomically(handoffPath(), body, 0600);
  if (error) {
    log_.log("mouse-select: handoff write failed: " + *error);
    return false;
  }
  SyntheticKeys::post(taps_, kF15, 0, {});
  if (resend) SyntheticKeys::post(taps_, typing.keyCode, typing.flags, typing.text);
  log_.log("mouse-select: replacing " + std::to_string(utf8::length(selection.text)) + " chars, " +
           std::to_string(selection.after) + " from the end, resend=" + (resend ? "true" : "false"));
  return true;
}

}  // namespace velvix
