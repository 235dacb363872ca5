#pragma once
// Just enough of the XML property-list format to read a bundle's info dictionary: the string
// values of the top-level dictionary. Anything it cannot read with certainty (another format,
// broken markup, an unknown entity) yields nothing.

#include <optional>
#include <string>
#include <string_view>

namespace velvix::platform::xmlplist {

// The string under `key` in the top-level <dict> of `document`; nothing when the key is absent,
// holds another type, or the document is not a readable XML property list.
std::optional<std::string> topLevelString(std::string_view document, std::string_view key);

}  // namespace velvix::platform::xmlplist
