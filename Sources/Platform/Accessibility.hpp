#pragma once
// The Accessibility interface into other applications: elements (applications, windows,
// buttons), their attributes and actions, each message bounded by the element's messaging
// time-out; the trust check; the element under a point; and the query that maps a window
// element to its window-server number. Every call may block its thread for up to the element's time-out.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "Platform/Geometry.hpp"
#include "Platform/Workspace.hpp"

namespace velvix::platform {

// A reference to one element; 0 is no element.
struct AXElement {
  std::uint64_t id = 0;
  explicit operator bool() const { return id != 0; }
  bool operator==(const AXElement&) const = default;
};

enum class AXError {
  success,
  failure,
  cannotComplete,  // the application did not answer within the messaging time-out
  attributeUnsupported,
  actionUnsupported,
  noValue,
  illegalArgument,
  invalidElement,
  apiDisabled,  // the process is not trusted
};

// A URL-valued attribute ("AXURL"), as its absolute text, such as "file:///Applications/Mail.app/".
struct AXURLValue {
  std::string absolute;
  bool operator==(const AXURLValue&) const = default;
};

// A range of text ("AXSelectedTextRange", the parameter of "AXStringForRange"), in UTF-16 units.
struct AXRange {
  std::int64_t location = 0;
  std::int64_t length = 0;
  bool operator==(const AXRange&) const = default;
};

using AXValue = std::variant<std::monostate, bool, std::int64_t, double, std::string, AXElement,
                             std::vector<AXElement>, Point, Size, AXURLValue, AXRange>;

namespace AXAttribute {
inline constexpr const char* kWindows = "AXWindows";
inline constexpr const char* kFocusedWindow = "AXFocusedWindow";
inline constexpr const char* kMainWindow = "AXMainWindow";
inline constexpr const char* kTitle = "AXTitle";
inline constexpr const char* kMinimized = "AXMinimized";
inline constexpr const char* kMain = "AXMain";
inline constexpr const char* kCloseButton = "AXCloseButton";
inline constexpr const char* kPosition = "AXPosition";
inline constexpr const char* kSize = "AXSize";
inline constexpr const char* kRole = "AXRole";
inline constexpr const char* kFrontmost = "AXFrontmost";
inline constexpr const char* kChildren = "AXChildren";
inline constexpr const char* kStatusLabel = "AXStatusLabel";
inline constexpr const char* kSubrole = "AXSubrole";
inline constexpr const char* kURL = "AXURL";
inline constexpr const char* kParent = "AXParent";
inline constexpr const char* kFocusedUIElement = "AXFocusedUIElement";
inline constexpr const char* kValue = "AXValue";
inline constexpr const char* kSelectedText = "AXSelectedText";
inline constexpr const char* kSelectedTextRange = "AXSelectedTextRange";
inline constexpr const char* kNumberOfCharacters = "AXNumberOfCharacters";
// Parameterized: the text of an AXRange.
inline constexpr const char* kStringForRange = "AXStringForRange";
}  // namespace AXAttribute

namespace AXAction {
inline constexpr const char* kRaise = "AXRaise";
inline constexpr const char* kPress = "AXPress";
}  // namespace AXAction

class Accessibility {
 public:
  virtual ~Accessibility() = default;

  virtual bool isProcessTrusted() const = 0;
  virtual AXElement applicationElement(Pid pid) = 0;
  virtual AXError setMessagingTimeout(AXElement element, double seconds) = 0;
  virtual AXError copyAttribute(AXElement element, const std::string& attribute, AXValue& value) = 0;
  virtual AXError setAttribute(AXElement element, const std::string& attribute, const AXValue& value) = 0;
  // An attribute that takes a parameter ("AXStringForRange" with an AXRange).
  virtual AXError copyParameterizedAttribute(AXElement element, const std::string& attribute,
                                             const AXValue& parameter, AXValue& value) {
    value = std::monostate{};
    return AXError::attributeUnsupported;
  }
  virtual AXError performAction(AXElement element, const std::string& action) = 0;
  // The window-server number of a window element.
  virtual AXError windowNumber(AXElement element, std::int64_t& number) = 0;
  // The deepest element of the application under a point (global, top-left origin), as the
  // platform takes it: single-precision coordinates.
  virtual AXError elementAtPosition(AXElement application, float x, float y, AXElement& element) = 0;
};

}  // namespace velvix::platform
