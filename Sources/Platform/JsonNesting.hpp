#pragma once
// How deeply a JSON text nests its arrays and objects, found without parsing it. Documents from
// outside are checked with it before they are parsed: copying, comparing or writing a parsed
// value recurses once per level, so a deep enough document would exhaust the stack.

#include <cstddef>
#include <string_view>

namespace velvix::platform {

// The deepest nesting of arrays and objects in `text` (brackets inside strings do not count);
// malformed text is measured the same way, and the parser refuses it afterwards.
std::size_t jsonNestingDepth(std::string_view text);

}  // namespace velvix::platform
