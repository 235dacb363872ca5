#pragma once
// UTF-8 text helpers: validation, code points, cutting on code-point boundaries, and the
// case-insensitive comparisons that titles need. Strings are UTF-8 std::string throughout.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velvix::Utf8 {

bool isValid(std::string_view text);
// Code points of valid text; invalid bytes decode as U+FFFD.
std::u32string decode(std::string_view text);
std::string encode(std::u32string_view codePoints);
std::size_t length(std::string_view text);  // in code points
// The first `count` code points (never half a character).
std::string prefix(std::string_view text, std::size_t count);
// Unicode simple lower-casing, for case-insensitive comparisons.
std::u32string folded(std::string_view text);
bool containsCaseInsensitive(std::string_view text, std::string_view part);

}  // namespace velvix::Utf8
