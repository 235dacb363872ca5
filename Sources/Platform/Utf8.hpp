#pragma once
// UTF-8 text helpers. Strict validation and stepping over code points for text that arrives from
// outside (socket lines, extension messages); lenient decoding, cutting on code-point boundaries
// and case-insensitive comparison for titles. Strings are UTF-8 std::string throughout.

#include <cstddef>
#include <string>
#include <string_view>

namespace velvix::utf8 {

// Well-formed UTF-8: no stray continuation bytes, no over-long forms, no surrogates, nothing
// above U+10FFFF.
bool isValid(std::string_view text);
// The code point that starts at `offset` of valid text; `offset` moves past it.
char32_t decodeForward(std::string_view text, std::size_t& offset);
// The code point that ends just before `offset` of valid text; `offset` moves to its first byte.
char32_t decodeBackward(std::string_view text, std::size_t& offset);

// Code points of any text; ill-formed bytes decode as U+FFFD, one each.
std::u32string decode(std::string_view text);
std::string encode(std::u32string_view codePoints);
// One code point onto `out`; a surrogate or a value past U+10FFFF goes on as U+FFFD.
void append(std::string& out, char32_t codePoint);
std::size_t length(std::string_view text);  // in code points
// The first `count` code points (never half a character).
std::string prefix(std::string_view text, std::size_t count);
// Unicode simple lower-casing, for case-insensitive comparisons.
std::u32string folded(std::string_view text);
bool containsCaseInsensitive(std::string_view text, std::string_view part);

}  // namespace velvix::utf8
