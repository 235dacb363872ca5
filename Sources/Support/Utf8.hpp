#pragma once
// UTF-8 checks for text that arrives from outside (socket lines, extension messages): strict
// validation and stepping over code points, so text is only ever cut on code-point boundaries.

#include <cstddef>
#include <string_view>

namespace velvix::utf8 {

// Well-formed UTF-8: no stray continuation bytes, no over-long forms, no surrogates, nothing
// above U+10FFFF.
bool isValid(std::string_view text);
// The code point that starts at `offset` of valid text; `offset` moves past it.
char32_t decodeForward(std::string_view text, std::size_t& offset);
// The code point that ends just before `offset` of valid text; `offset` moves to its first byte.
char32_t decodeBackward(std::string_view text, std::size_t& offset);

}  // namespace velvix::utf8
